// The program's compiled resources (.res image), embedded at build time for device hosts.
#ifndef KEPLA_RES_EMBEDDED_H_
#define KEPLA_RES_EMBEDDED_H_

#include <cstdint>
#include <span>

namespace kepla {
std::span<const std::uint8_t> ProgramResources();
}  // namespace kepla

#endif  // KEPLA_RES_EMBEDDED_H_
