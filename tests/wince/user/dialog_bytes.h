// Classic dialog templates written byte by byte, as the resource compiler lays them out, and the
// .res image that holds one, so that the window system's tests need no resource file.
#ifndef KEPLA_TESTS_WINCE_USER_DIALOG_BYTES_H_
#define KEPLA_TESTS_WINCE_USER_DIALOG_BYTES_H_

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kepla_test {

class DialogBytes {
 public:
  DialogBytes(DWORD style, short x, short y, short cx, short cy, std::u16string title) {
    Dword(style);
    Dword(0);  // extended style
    count_at_ = bytes_.size();
    Word(0);  // item count, patched by each Item
    Short(x), Short(y), Short(cx), Short(cy);
    Word(0);  // no menu
    Word(0);  // default class
    Text(title);
    if (style & DS_SETFONT) {
      Word(8);
      Text(u"Tahoma");
    }
  }

  // `cls` is a predefined ordinal (0x80 button .. 0x85) or 0 to use `class_name`.
  DialogBytes& Item(WORD id, WORD cls, std::u16string class_name, std::u16string title, DWORD style,
                    short x, short y, short cx, short cy) {
    while (bytes_.size() % 4) bytes_.push_back(0);
    Dword(style);
    Dword(0);
    Short(x), Short(y), Short(cx), Short(cy);
    Word(id);
    if (cls != 0) {
      Word(0xFFFF);
      Word(cls);
    } else {
      Text(class_name);
    }
    Text(title);
    Word(0);  // no creation data
    const WORD count = static_cast<WORD>(bytes_[count_at_] | (bytes_[count_at_ + 1] << 8)) + 1;
    bytes_[count_at_] = static_cast<std::uint8_t>(count & 0xFF);
    bytes_[count_at_ + 1] = static_cast<std::uint8_t>(count >> 8);
    return *this;
  }

  // The template's bytes.
  std::span<const std::uint8_t> bytes() const { return bytes_; }

  // A copy in DWORD-aligned storage of its own, outside any resource.
  const DLGTEMPLATE* get() {
    aligned_.assign((bytes_.size() + 3) / 4, 0);
    std::copy(bytes_.begin(), bytes_.end(), reinterpret_cast<std::uint8_t*>(aligned_.data()));
    return reinterpret_cast<const DLGTEMPLATE*>(aligned_.data());
  }

 private:
  void Word(WORD w) {
    bytes_.push_back(static_cast<std::uint8_t>(w & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  void Short(short s) { Word(static_cast<WORD>(s)); }
  void Dword(DWORD d) {
    Word(static_cast<WORD>(d & 0xFFFF));
    Word(static_cast<WORD>(d >> 16));
  }
  void Text(const std::u16string& s) {
    for (char16_t c : s) Word(static_cast<WORD>(c));
    Word(0);
  }

  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint32_t> aligned_;
  std::size_t count_at_ = 0;
};

// A .res image whose only resource is `data` as the RT_DIALOG resource `id`: the leading empty
// entry, then one entry (ordinal type and name, fixed fields zero) and the data padded to a DWORD.
inline std::vector<std::uint8_t> DialogResImage(WORD id, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> image;
  auto u16 = [&](WORD w) {
    image.push_back(static_cast<std::uint8_t>(w & 0xFF));
    image.push_back(static_cast<std::uint8_t>(w >> 8));
  };
  auto u32 = [&](DWORD d) {
    u16(static_cast<WORD>(d & 0xFFFF));
    u16(static_cast<WORD>(d >> 16));
  };
  auto entry = [&](WORD type, WORD name, std::span<const std::uint8_t> bytes) {
    u32(static_cast<DWORD>(bytes.size()));
    u32(32);  // header size: the two sizes, two ordinal ids and 16 bytes of fixed fields
    u16(0xFFFF), u16(type);
    u16(0xFFFF), u16(name);
    u32(0), u16(0), u16(0), u32(0), u32(0);
    image.insert(image.end(), bytes.begin(), bytes.end());
    while (image.size() % 4) image.push_back(0);
  };
  entry(0, 0, {});
  entry(5, id, data);  // RT_DIALOG
  return image;
}

}  // namespace kepla_test

#endif  // KEPLA_TESTS_WINCE_USER_DIALOG_BYTES_H_
