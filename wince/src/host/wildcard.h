// File-name patterns of directory searches ("*.*", "fw?.bin").
#ifndef WINCE_HOST_WILDCARD_H_
#define WINCE_HOST_WILDCARD_H_

#include <string_view>

namespace wce {

// True when `name` matches `pattern`, ignoring case: '*' stands for any run of characters (also
// none), '?' for exactly one. As on the device, a pattern ending in ".*" also matches names
// without any dot ("*.*" matches every name, "readme.*" matches "README").
bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name);

// True when `text` holds '*' or '?'.
bool HasWildcard(std::u16string_view text);

}  // namespace wce

#endif  // WINCE_HOST_WILDCARD_H_
