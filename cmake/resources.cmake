# kepla_add_resources(TARGET RC_FILE SYMBOL)
# Compiles RC_FILE with llvm-rc (/n: string-table entries keep their terminating zero) and makes
# TARGET, a static library defining `std::span<const std::uint8_t> SYMBOL()` (namespace kepla)
# over the .res bytes.
#
# llvm-rc reads any argument starting with '/' as an option, and options match case-insensitively
# by prefix: an input path such as /check/... would be taken for "/C heck/...". The input is
# therefore named relative to its own folder; option values (/i, /fo) are separate arguments and
# safe as absolute paths.
function(kepla_add_resources target rc_file symbol)
  get_filename_component(rc_abs ${rc_file} ABSOLUTE)
  get_filename_component(rc_dir ${rc_abs} DIRECTORY)
  get_filename_component(rc_name ${rc_abs} NAME)
  set(res_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  set(cc_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.cc)
  file(GLOB rc_deps ${rc_dir}/*.h ${rc_dir}/*.rc)
  add_custom_command(
    OUTPUT ${res_file}
    COMMAND ${LLVM_RC} /n /C 65001 /i ${rc_dir} /fo ${res_file} ${rc_name}
    WORKING_DIRECTORY ${rc_dir}
    DEPENDS ${rc_abs} ${rc_deps}
    COMMENT "Compiling resources ${rc_file}"
    VERBATIM)
  add_custom_command(
    OUTPUT ${cc_file}
    COMMAND ${CMAKE_COMMAND} -DIN=${res_file} -DOUT=${cc_file} -DSYMBOL=${symbol}
            -P ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
    DEPENDS ${res_file} ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
    VERBATIM)
  add_library(${target} STATIC ${cc_file})
endfunction()
