# The standard template block: templates.x is turned into the byte list that rmxftmpl.h includes.
set(xtemplates_dir ${CMAKE_BINARY_DIR}/generated/include/platform/generated)
add_executable(xtemplates_gen ${PROJECT_SOURCE_DIR}/platform/tools/xtemplates_gen.cpp)
add_custom_command(
  OUTPUT ${xtemplates_dir}/xtemplates.inc
  COMMAND ${CMAKE_COMMAND} -E make_directory ${xtemplates_dir}
  COMMAND xtemplates_gen ${CMAKE_CURRENT_LIST_DIR}/templates.x ${xtemplates_dir}/xtemplates.inc
  DEPENDS xtemplates_gen ${CMAKE_CURRENT_LIST_DIR}/templates.x
  COMMENT "Building the standard .x template block")
add_custom_target(xtemplates DEPENDS ${xtemplates_dir}/xtemplates.inc)
add_dependencies(platform xtemplates)
target_include_directories(platform PUBLIC ${CMAKE_BINARY_DIR}/generated/include)
