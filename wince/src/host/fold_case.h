// Case-blind comparison of names, as the device's file system compares them.
//
// The device ignores case in file names. The folding covers the scripts a card is likely to carry
// (ASCII, Latin-1, Latin Extended-A, basic Greek and Cyrillic); other characters compare exactly.
#ifndef WINCE_HOST_FOLD_CASE_H_
#define WINCE_HOST_FOLD_CASE_H_

#include <string>
#include <string_view>

namespace wce {

// The lower-case form of `c`, or `c` itself when it has none in the covered ranges.
char16_t FoldCase(char16_t c);
std::u16string FoldCase(std::u16string_view text);

bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace wce

#endif  // WINCE_HOST_FOLD_CASE_H_
