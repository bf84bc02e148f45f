# The C++ library of Debian 12's mingw-w64 (GCC 12.2) loses wake-ups where the
# platform has no futex, which is the case on Windows: std::atomic<T>::wait,
# std::counting_semaphore, std::latch and the end of a std::stop_callback whose
# callback runs on another thread can all sleep for ever. The waiter checks the
# watched value and only then takes the pool's mutex to sleep on its condition
# variable, while the notifier signals without taking that mutex, so a signal that
# falls between the two is lost. (Linux waits on a futex and is not affected.)
#
# The Windows build compiles against copies of the two headers concerned, with the
# mutex taken by the notifier and the value checked again under it. A library that
# no longer has the faulty lines is used as it is.

set(krdn_wait_fix_dir ${CMAKE_BINARY_DIR}/libstdcxx-wait-fix)
# The copies are made here first, then put in place only where they differ (below).
set(krdn_wait_fix_staging ${CMAKE_BINARY_DIR}/libstdcxx-wait-fix.new)

# Replaces one faulty text of the library header `name` in its copy under
# krdn_wait_fix_staging. A header's texts are mended all or not at all: the first call
# for a header decides whether the library still has the fault, and a later text
# missing after that stops the configuration.
# (The texts hold semicolons, so they travel as single arguments, never as lists.)
function(krdn_mend_library_text name faulty mended)
  set(copy ${krdn_wait_fix_staging}/${name})
  string(MAKE_C_IDENTIFIER ${name} key)
  if(DEFINED krdn_wait_fix_${key})
    if(NOT krdn_wait_fix_${key})
      return()  # the library's own header, already found without the fault
    endif()
    file(READ ${copy} text)
  else()
    set(header "")
    foreach(dir IN LISTS CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
      if(EXISTS ${dir}/${name})
        set(header ${dir}/${name})
        break()
      endif()
    endforeach()
    if(NOT header)
      message(FATAL_ERROR "The C++ library has no ${name} in ${CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES}")
    endif()
    file(READ ${header} text)
  endif()
  string(FIND "${text}" "${faulty}" at)
  if(at EQUAL -1)
    if(DEFINED krdn_wait_fix_${key})
      message(FATAL_ERROR "${name}: a part of the fault is not where it was expected; look at the header")
    endif()
    message(STATUS "${name}: the C++ library's own, which has no lost wake-up to mend")
    set(krdn_wait_fix_${key} FALSE PARENT_SCOPE)
    return()
  endif()
  string(REPLACE "${faulty}" "${mended}" text "${text}")
  file(WRITE ${copy} "${text}")
  set(krdn_wait_fix_${key} TRUE PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${krdn_wait_fix_staging})
# The notifier takes the mutex the waiter sleeps under ...
krdn_mend_library_text(bits/atomic_wait.h
  "#else\n\tif (__all)\n\t  _M_cv.notify_all();"
  "#else\n\tlock_guard<mutex> __l(_M_mtx);\n\tif (__all)\n\t  _M_cv.notify_all();")
# ... and the waiter looks at the value again once it holds that mutex.
krdn_mend_library_text(bits/atomic_wait.h
  "\t    lock_guard<mutex> __l(_M_mtx);\n\t    _M_cv.wait(_M_mtx);"
  "\t    lock_guard<mutex> __l(_M_mtx);\n\t    __atomic_load(__addr, &__val, __ATOMIC_SEQ_CST);\n\t    if (__val == __old)\n\t      _M_cv.wait(_M_mtx);")
# The timed wait, likewise: a lost wake-up there costs the rest of its time-out.
krdn_mend_library_text(bits/atomic_timed_wait.h
  "\t      lock_guard<mutex> __l(_M_mtx);\n\t      return __cond_wait_until(_M_cv, _M_mtx, __atime);"
  "\t      lock_guard<mutex> __l(_M_mtx);\n\t      __atomic_load(__addr, &__val, __ATOMIC_RELAXED);\n\t      if (__val != __old)\n\t\treturn true;\n\t      return __cond_wait_until(_M_cv, _M_mtx, __atime);")

# A header rewritten at every configuration would make every object of the build out of
# date: the copies of an earlier configuration stay where they are unchanged.
file(GLOB_RECURSE krdn_wait_fix_mended RELATIVE ${krdn_wait_fix_staging} ${krdn_wait_fix_staging}/*)
file(GLOB_RECURSE krdn_wait_fix_earlier RELATIVE ${krdn_wait_fix_dir} ${krdn_wait_fix_dir}/*)
foreach(name IN LISTS krdn_wait_fix_earlier)
  if(NOT name IN_LIST krdn_wait_fix_mended)
    file(REMOVE ${krdn_wait_fix_dir}/${name})
  endif()
endforeach()
foreach(name IN LISTS krdn_wait_fix_mended)
  cmake_path(GET name PARENT_PATH folder)
  file(MAKE_DIRECTORY ${krdn_wait_fix_dir}/${folder})
  file(COPY_FILE ${krdn_wait_fix_staging}/${name} ${krdn_wait_fix_dir}/${name} ONLY_IF_DIFFERENT)
endforeach()
file(REMOVE_RECURSE ${krdn_wait_fix_staging})
if(NOT krdn_wait_fix_mended)
  file(REMOVE_RECURSE ${krdn_wait_fix_dir})
endif()

# Searched before the library's own headers, by every target of the build.
if(EXISTS ${krdn_wait_fix_dir})
  message(STATUS "The C++ library's waits: mended copies of its headers in ${krdn_wait_fix_dir}")
  include_directories(BEFORE SYSTEM ${krdn_wait_fix_dir})
endif()
