# kepla_add_resources(TARGET RC_FILE SYMBOL)
# Compiles RC_FILE with llvm-rc (/n: string-table entries keep their terminating zero) and makes
# TARGET, a static library defining `std::span<const std::uint8_t> SYMBOL()` (namespace kepla)
# over the .res bytes.
function(kepla_add_resources target rc_file symbol)
  get_filename_component(rc_abs ${rc_file} ABSOLUTE)
  get_filename_component(rc_dir ${rc_abs} DIRECTORY)
  set(res_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  set(cc_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.cc)
  file(GLOB rc_deps ${rc_dir}/*.h ${rc_dir}/*.rc)
  add_custom_command(
    OUTPUT ${res_file}
    COMMAND ${LLVM_RC} /n /C 65001 /i ${rc_dir} /fo ${res_file} ${rc_abs}
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
