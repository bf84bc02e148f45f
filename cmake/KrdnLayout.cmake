# krdn_add_subfolders(): adds every direct sub-folder of the current folder that has
# a CMakeLists.txt, in name order. tools/, tests/, bench/ and fuzz/ grow this way, so
# a new tool or test group never edits a shared list.
function(krdn_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
