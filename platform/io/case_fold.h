// The form of a file name on a disk where case does not count, as Windows compares
// names: two names are one file there when their folded forms are equal.
//
// Windows folds by the system's own table, one UTF-16 unit at a time (the ordinal,
// case-insensitive rule of CompareStringOrdinal). Linux, where the publisher runs,
// folds by the full Unicode simple upper-case mapping (libunistring), one code point
// at a time, so that a folder the publisher accepts holds no two names that a Windows
// client would take for one file. The Linux rule is the wider one: it also folds
// letters the Windows table (wine's at least) keeps apart, such as the final sigma "ς"
// and the title-case "ǅ", so it refuses more names, never fewer.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The name with every letter in its upper-case form; other characters as they are. A
// lone surrogate stays as it is.
std::u16string FoldCase(std::u16string_view name);

}  // namespace platform
