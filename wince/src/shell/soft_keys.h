// The two soft keys of a menu bar: what the menu resource made of them, and what the program has
// done to them since (labels, enabled state). A plain value; the Shell guards it.
#ifndef WINCE_SHELL_SOFT_KEYS_H_
#define WINCE_SHELL_SOFT_KEYS_H_

#include <optional>
#include <string>
#include <vector>

#include "resource/menu_template.h"

namespace wce {

struct SoftKey {
  int command = 0;
  std::u16string label;
  bool enabled = true;
};

class SoftKeys {
 public:
  // The first two top-level items of a MENU resource become the left and right keys, with their
  // command ids and texts ('&' mnemonics removed); a grayed item starts disabled. Nullopt when
  // the menu has no top-level item.
  static std::optional<SoftKeys> FromMenu(const std::vector<MenuItem>& items);

  const std::vector<SoftKey>& keys() const { return keys_; }

  // Sets the label of the key with `command`. False when no key has it.
  bool SetLabel(int command, std::u16string label);
  // `uid` is a key index (0 left, 1 right) when `by_index`, else a command id. False when it
  // names no key.
  bool Enable(unsigned uid, bool by_index, bool enable);
  // The key under x in a bar `width` pixels wide: the keys share it in equal parts.
  std::optional<int> IndexAt(int x, int width) const;

 private:
  std::vector<SoftKey> keys_;  // one or two
};

// A menu text as a soft key shows it: "&Next" is "Next", "&&" is "&".
std::u16string StripMnemonic(const std::u16string& text);

}  // namespace wce

#endif  // WINCE_SHELL_SOFT_KEYS_H_
