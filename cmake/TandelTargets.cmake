# One helper per kind of target. Every target gets the same warning set.

set(TANDEL_WARNINGS -Wall -Wextra -Werror)

# Adds each listed folder that exists and has a CMakeLists.txt; lets layers arrive one by one.
function(tandel_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

function(tandel_warnings target)
  target_compile_options(${target} PRIVATE ${TANDEL_WARNINGS})
endfunction()

# A host library of our own (the platform, the simulator): exports what it declares.
function(tandel_library name)
  cmake_parse_arguments(ARG "SHARED;STATIC" "" "SOURCES;LIBS;PUBLIC_INCLUDES" ${ARGN})
  set(kind STATIC)
  if(ARG_SHARED)
    set(kind SHARED)
  endif()
  add_library(${name} ${kind} ${ARG_SOURCES})
  tandel_warnings(${name})
  if(ARG_PUBLIC_INCLUDES)
    target_include_directories(${name} PUBLIC ${ARG_PUBLIC_INCLUDES})
  endif()
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# A CE module (DLL) built as a real shared object named as on the device, e.g. QVSETUP.DLL.
# Only symbols marked for export leave the module; the platform loads it by that file name.
function(tandel_ce_module name)
  cmake_parse_arguments(ARG "" "FILE_NAME" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  tandel_warnings(${name})
  get_filename_component(stem ${ARG_FILE_NAME} NAME_WE)
  get_filename_component(ext ${ARG_FILE_NAME} EXT)
  set_target_properties(${name} PROPERTIES
    PREFIX "" OUTPUT_NAME ${stem} SUFFIX ${ext}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# A program of the simulated handheld or a host tool.
function(tandel_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tandel_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# GoogleTest is built from Debian's sources with the same flags as the code under test, so
# the sanitizer and 32-bit builds instrument it too.
macro(tandel_use_googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endmacro()

# A test program: one per unit, registered with CTest under its own name.
# DEPENDS names targets (such as CE modules) that the test loads at run time.
function(tandel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tandel_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
