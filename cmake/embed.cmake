# Writes OUT, a C++ file that holds the bytes of IN behind the function kepla::SYMBOL().
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" hex_len)
math(EXPR size "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include <cstddef>\n#include <cstdint>\n#include <span>\n\nnamespace kepla {\nnamespace {\nalignas(4) const std::uint8_t kBytes[${size}] = {\n${bytes}\n};\n}  // namespace\n\nstd::span<const std::uint8_t> ${SYMBOL}() { return {kBytes, ${size}}; }\n\n}  // namespace kepla\n")
