# krdn_add_subfolders(): adds every direct sub-folder of the current folder that has
# a CMakeLists.txt, in name order. tools/, tests/, bench/ and fuzz/ grow this way, so
# a new tool or test group never edits a shared list. SKIP names sub-folders to leave
# out (those the build's platform has no implementation for yet).
function(krdn_add_subfolders)
  cmake_parse_arguments(F "" "" "SKIP" ${ARGN})
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt AND NOT child IN_LIST F_SKIP)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
