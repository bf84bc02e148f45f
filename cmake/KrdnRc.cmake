# cmake -DLIST=<resource list> -DOUT=<file.rc> -P KrdnRc.cmake
#
# Writes the resource script windres compiles for a resource list (the format of
# tools/rescomp: "<type> <name> <file> [<language>]", '#' comments, "#<n>" numbers).
# Named types and names are written in upper case, as the platform's resource compiler
# stores them: names quoted, types as bare words; ICON gives a group icon, BITMAP, CURSOR, HTML, MANIFEST and
# VERSION their numbered types, any other type is a named type of raw bytes. A VERSION
# line names the "name=value" text of the version record (res/version.txt), which
# becomes a version resource. The language is Chinese (PRC), 2052, unless the line
# gives another.
cmake_minimum_required(VERSION 3.25)

get_filename_component(list_dir ${LIST} DIRECTORY)
file(STRINGS ${LIST} lines ENCODING UTF-8)

function(rc_quote out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# "#118" is the number 118; anything else a quoted upper-case name.
function(rc_id out text)
  if(text MATCHES "^#([0-9]+)$")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    string(TOUPPER "${text}" upper)
    rc_quote(quoted "${upper}")
    set(${out} ${quoted} PARENT_SCOPE)
  endif()
endfunction()

function(rc_language out code)
  math(EXPR primary "${code} & 0x3FF")
  math(EXPR sub "${code} >> 10")
  set(${out} "LANGUAGE ${primary}, ${sub}" PARENT_SCOPE)
endfunction()

# The version record: fixed numbers from FileVersion and ProductVersion, the strings
# in the block of language 0x0804, code page 1200.
function(rc_version out file language)
  file(STRINGS ${file} fields ENCODING UTF-8 REGEX "^[A-Za-z]+=")
  set(strings "")
  set(file_version "0,0,0,0")
  set(product_version "0,0,0,0")
  foreach(field IN LISTS fields)
    string(FIND "${field}" "=" eq)
    string(SUBSTRING "${field}" 0 ${eq} key)
    math(EXPR start "${eq} + 1")
    string(SUBSTRING "${field}" ${start} -1 value)
    if(key STREQUAL "FileVersion")
      string(REPLACE " " "" file_version "${value}")
    elseif(key STREQUAL "ProductVersion")
      string(REPLACE " " "" product_version "${value}")
    endif()
    rc_quote(qkey "${key}")
    rc_quote(qvalue "${value}")
    string(APPEND strings "      VALUE ${qkey}, ${qvalue}\n")
  endforeach()
  set(${out} "1 VERSIONINFO\nFILEVERSION ${file_version}\nPRODUCTVERSION ${product_version}
FILEFLAGSMASK 0x3F\nFILEFLAGS 0\nFILEOS 0x40004\nFILETYPE 1\nFILESUBTYPE 0\nBEGIN
  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"080404b0\"\n    BEGIN\n${strings}    END\n  END
  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x0804, 1200\n  END\nEND\n" PARENT_SCOPE)
endfunction()

set(rc "// Generated from ${LIST}.\n#pragma code_page(65001)\n\n")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#([^0-9]|$)")
    continue()
  endif()
  string(REGEX MATCHALL "[^ \t]+" fields "${line}")
  list(LENGTH fields count)
  if(count LESS 3)
    message(FATAL_ERROR "${LIST}: expected <type> <name> <file> [<language>]: ${line}")
  endif()
  list(GET fields 0 type)
  list(GET fields 1 name)
  list(GET fields 2 path)
  set(language 2052)
  if(count GREATER 3)
    list(GET fields 3 language)
  endif()
  if(NOT IS_ABSOLUTE ${path})
    set(path ${list_dir}/${path})
  endif()
  rc_language(language_line ${language})
  string(TOUPPER "${type}" type)
  if(type STREQUAL "VERSION")
    rc_version(version ${path} ${language})
    string(APPEND rc "${language_line}\n${version}\n")
    continue()
  endif()
  rc_id(id "${name}")
  rc_quote(file_text "${path}")
  if(type STREQUAL "ICON")
    set(kind ICON)
  elseif(type STREQUAL "BITMAP")
    set(kind BITMAP)
  elseif(type STREQUAL "CURSOR")
    set(kind CURSOR)
  elseif(type STREQUAL "HTML")
    set(kind 23)
  elseif(type STREQUAL "MANIFEST")
    set(kind 24)
  elseif(type MATCHES "^#([0-9]+)$")
    set(kind ${CMAKE_MATCH_1})
  elseif(type MATCHES "^[A-Z_][A-Z0-9_]*$")
    # windres takes a named type only as a bare word (a quoted one is a syntax error).
    set(kind ${type})
  else()
    message(FATAL_ERROR "${LIST}: a named resource type must be a word of letters, digits and _: ${type}")
  endif()
  string(APPEND rc "${language_line}\n${id} ${kind} ${file_text}\n")
endforeach()

file(WRITE ${OUT}.new "${rc}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
