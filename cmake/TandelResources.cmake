# Resource scripts: compiled by the real resource compiler into a standard .res file, which is
# embedded into the target and registered as that module's resources before main runs.
#
#   tandel_resources(target path/to/file.rc [DEPENDS icons and bitmaps...])
#
# The script is preprocessed by cpp with RC_INVOKED defined and the platform's headers on the
# include path, so it may include <winuser.h> for the style names.
find_program(TANDEL_WINDRES x86_64-w64-mingw32-windres)

function(tandel_resources target rc_file)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  if(NOT TANDEL_WINDRES)
    message(FATAL_ERROR "x86_64-w64-mingw32-windres not found: run scripts/setup.sh")
  endif()
  get_filename_component(rc_path ${rc_file} ABSOLUTE)
  get_filename_component(rc_dir ${rc_path} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  set(embed ${CMAKE_CURRENT_BINARY_DIR}/${target}_embedded_resources.cpp)
  add_custom_command(
    OUTPUT ${res}
    COMMAND ${TANDEL_WINDRES} --preprocessor=cpp -DRC_INVOKED
            -I ${rc_dir} -I ${PROJECT_SOURCE_DIR}/platform/include
            -O res -i ${rc_path} -o ${res}
    WORKING_DIRECTORY ${rc_dir}
    DEPENDS ${rc_path} ${ARG_DEPENDS}
    COMMENT "Compiling resources ${rc_file}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${target} symbol)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/embedded_resources.cpp.in ${embed} @ONLY)
  set_source_files_properties(${embed} PROPERTIES OBJECT_DEPENDS ${res})
  target_sources(${target} PRIVATE ${embed})
endfunction()
