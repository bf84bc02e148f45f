# Every target of the project compiles with warnings as errors. Third-party headers
# come in as SYSTEM includes, so their warnings do not count.
add_library(krdn_warnings INTERFACE)
target_compile_options(krdn_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:GNU>:-Wno-dangling-reference>
  # GCC 12 at -O3 (release preset) reports string concatenations as overlapping copies (GCC bug 105329).
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>
)
