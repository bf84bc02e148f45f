# krdn_embed_resources(<target> <resource list>)
#
# Embeds the files a resource list names into an executable: on Linux tools/rescomp
# turns the list into a source file defining the module's resource table; on Windows
# KrdnRc.cmake turns it into a resource script that windres compiles into the
# executable's resource section. Rebuilt whenever the list or a listed file changes.
# One list per executable.
function(krdn_embed_resources target list)
  get_filename_component(list_abs ${list} ABSOLUTE)
  get_filename_component(list_dir ${list_abs} DIRECTORY)
  file(STRINGS ${list_abs} lines)
  set(deps ${list_abs})
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]+" "" line "${line}")
    if(line STREQUAL "" OR line MATCHES "^#([^0-9]|$)")
      continue()
    endif()
    string(REGEX MATCHALL "[^ \t]+" fields "${line}")
    list(LENGTH fields n)
    if(n GREATER_EQUAL 3)
      list(GET fields 2 path)
      if(NOT IS_ABSOLUTE ${path})
        set(path ${list_dir}/${path})
      endif()
      list(APPEND deps ${path})
    endif()
  endforeach()
  if(WIN32)
    # The executable's own resource section: a resource script for windres.
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DLIST=${list_abs} -DOUT=${out} -P ${PROJECT_SOURCE_DIR}/cmake/KrdnRc.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/cmake/KrdnRc.cmake ${deps}
      COMMENT "Writing the resource script of ${target}")
    target_sources(${target} PRIVATE ${out})
    set_source_files_properties(${out} PROPERTIES OBJECT_DEPENDS "${deps}")
    return()
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND rescomp ${list_abs} ${out}
    DEPENDS rescomp ${deps}
    COMMENT "Embedding the resources of ${target}")
  target_sources(${target} PRIVATE ${out})
  set_source_files_properties(${out} PROPERTIES COMPILE_OPTIONS "-Wno-overlength-strings")
endfunction()
