#include "shell/soft_keys.h"

namespace wce {

std::optional<SoftKeys> SoftKeys::FromMenu(const std::vector<MenuItem>& items) {
  SoftKeys bar;
  for (const MenuItem& item : items) {
    if (bar.keys_.size() == 2) break;
    bar.keys_.push_back(SoftKey{item.id, StripMnemonic(item.text), !item.grayed()});
  }
  if (bar.keys_.empty()) return std::nullopt;
  return bar;
}

bool SoftKeys::SetLabel(int command, std::u16string label) {
  for (SoftKey& key : keys_) {
    if (key.command == command) {
      key.label = std::move(label);
      return true;
    }
  }
  return false;
}

bool SoftKeys::Enable(unsigned uid, bool by_index, bool enable) {
  if (by_index) {
    if (uid >= keys_.size()) return false;
    keys_[uid].enabled = enable;
    return true;
  }
  bool found = false;
  for (SoftKey& key : keys_) {
    if (key.command != 0 && static_cast<unsigned>(key.command) == uid) {
      key.enabled = enable;
      found = true;
    }
  }
  return found;
}

std::optional<int> SoftKeys::IndexAt(int x, int width) const {
  if (width <= 0 || x < 0 || x >= width) return std::nullopt;
  const int index = static_cast<int>(static_cast<long>(x) * 2 / width);
  if (index >= static_cast<int>(keys_.size())) return std::nullopt;
  return index;
}

std::u16string StripMnemonic(const std::u16string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace wce
