# How the programs of a 32-bit x86 build are run on a 64-bit host: natively where the kernel
# runs i386 programs, otherwise under qemu-i386 (Debian's qemu-user). Some kernels are built
# without 32-bit support and refuse such programs with "Exec format error"; CTest then hands
# them to the shell, which fails with a confusing syntax error. The choice is made once, at
# configure time, by running a tiny program built with the project's own flags.
#
# TANDEL_M32_EMULATOR: AUTO (probe the kernel), ON (always qemu-i386), OFF (always native).
# The choice ends up in CMAKE_CROSSCOMPILING_EMULATOR, which every executable target created
# afterwards inherits and which add_test puts in front of the program.

function(tandel_choose_m32_runner)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4 OR NOT CMAKE_HOST_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    return()
  endif()
  set(TANDEL_M32_EMULATOR AUTO CACHE STRING
    "Run the 32-bit build's programs under qemu-i386: AUTO (when the kernel cannot), ON, OFF")
  set_property(CACHE TANDEL_M32_EMULATOR PROPERTY STRINGS AUTO ON OFF)

  set(use_emulator ${TANDEL_M32_EMULATOR})
  if(use_emulator STREQUAL "AUTO")
    set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/m32_probe)
    file(WRITE ${probe_dir}/probe.c "int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n")
    try_compile(probe_built ${probe_dir}/build ${probe_dir}/probe.c
      COPY_FILE ${probe_dir}/probe OUTPUT_VARIABLE probe_log)
    if(NOT probe_built)
      message(FATAL_ERROR "Cannot build a 32-bit program (is g++-multilib installed?):\n${probe_log}")
    endif()
    execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE probe_result
      OUTPUT_QUIET ERROR_QUIET)
    if(probe_result EQUAL 0)
      set(use_emulator OFF)
    else()
      set(use_emulator ON)
    endif()
  endif()

  if(use_emulator)
    find_program(TANDEL_QEMU_I386 qemu-i386)
    if(NOT TANDEL_QEMU_I386)
      message(FATAL_ERROR "This kernel cannot run 32-bit programs and qemu-i386 is missing: "
        "install qemu-user (scripts/setup.sh does)")
    endif()
    message(STATUS "32-bit programs run under ${TANDEL_QEMU_I386}")
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TANDEL_QEMU_I386} PARENT_SCOPE)
  else()
    message(STATUS "32-bit programs run natively")
    unset(CMAKE_CROSSCOMPILING_EMULATOR PARENT_SCOPE)
  endif()
endfunction()
