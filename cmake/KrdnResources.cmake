# krdn_embed_resources(<target> <resource list>)
#
# Embeds the files a resource list names into an executable: tools/rescomp turns the
# list into a source file defining the module's resource table, rebuilt whenever the
# list or a listed file changes. One list per executable.
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
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND rescomp ${list_abs} ${out}
    DEPENDS rescomp ${deps}
    COMMENT "Embedding the resources of ${target}")
  target_sources(${target} PRIVATE ${out})
  set_source_files_properties(${out} PROPERTIES COMPILE_OPTIONS "-Wno-overlength-strings")
endfunction()
