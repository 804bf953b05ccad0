# The program's desktop Win32 builds (win32/), made with mingw-w64 as external projects:
#   win32_i686    the 32-bit build, which `kepla --platform wine` runs (the device is 32-bit)
#   win32_x86_64  the 64-bit build, a compile check
# KEPLA_WIN32: ON builds them (the cross compilers must be there), OFF never, AUTO (default)
# whenever both cross compilers are found. Sets KEPLA_WIN32_BUILDS to the folder that holds both
# builds (win32-i686/, win32-x86_64/: KEPLA.exe, COREDLL.DLL, ...), or empty. Where the host
# cannot run 32-bit programs, Wine runs the 64-bit build instead (sim/wine/wine_host.h).
include(ExternalProject)

set(KEPLA_WIN32 AUTO CACHE STRING "Build the Win32 program with mingw-w64: AUTO, ON or OFF")
set(KEPLA_WIN32_BUILDS "")

find_program(KEPLA_MINGW_I686 i686-w64-mingw32-g++)
find_program(KEPLA_MINGW_X86_64 x86_64-w64-mingw32-g++)
set(_have_mingw FALSE)
if(KEPLA_MINGW_I686 AND KEPLA_MINGW_X86_64)
  set(_have_mingw TRUE)
endif()

if(KEPLA_WIN32 STREQUAL "ON" AND NOT _have_mingw)
  message(FATAL_ERROR "KEPLA_WIN32=ON needs i686-w64-mingw32-g++ and x86_64-w64-mingw32-g++ "
                      "(Debian: g++-mingw-w64-i686 g++-mingw-w64-x86-64)")
endif()

if(_have_mingw AND NOT KEPLA_WIN32 STREQUAL "OFF")
  foreach(arch i686 x86_64)
    ExternalProject_Add(win32_${arch}
      SOURCE_DIR ${CMAKE_SOURCE_DIR}/win32
      BINARY_DIR ${CMAKE_BINARY_DIR}/win32-${arch}
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
                 -DCMAKE_BUILD_TYPE=Release
                 -DKEPLA_WERROR=${KEPLA_WERROR}
                 -DLLVM_RC=${LLVM_RC}
      CMAKE_GENERATOR ${CMAKE_GENERATOR}
      BUILD_ALWAYS ON
      INSTALL_COMMAND ""
      USES_TERMINAL_BUILD ON)
  endforeach()
  set(KEPLA_WIN32_BUILDS ${CMAKE_BINARY_DIR})
  add_custom_target(win32 ALL DEPENDS win32_i686 win32_x86_64)
elseif(NOT KEPLA_WIN32 STREQUAL "OFF")
  message(STATUS "mingw-w64 not found: the Win32 program is not built (--platform wine is off)")
endif()
