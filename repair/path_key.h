// The identity of the file a manifest path names on a disk that ignores case, as the
// Windows build's disks do and as a Linux user's case-insensitive mounts do: two paths
// with the same key would land in one file, which then never settles.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace krdn {

// The path's components, split at "\" and "/", without trailing dots and spaces (which
// Windows drops), without empty and "." components, each upper-cased, joined with "\".
// "\Bin\\./a.DLL " and "\bin\A.dll" share the key "BIN\A.DLL".
std::u16string PathKey(std::u16string_view manifest_path);

// Upper case of one UTF-16 unit for the letters of the Latin (ASCII, Latin-1, Latin
// Extended-A and Additional), Greek, Cyrillic and Armenian alphabets and full-width
// Latin; every other unit is its own upper case.
char16_t UpperCase(char16_t c);

// The files, and the directories above them, that a list of paths names, by key: each
// key must stay one thing.
class PathClaims {
 public:
  // Claims the path as a file. Nothing when it is new; otherwise the earlier path it
  // collides with: the same file by key, or a file where one of them needs a directory.
  std::optional<std::u16string> Claim(std::u16string_view path);

 private:
  std::unordered_map<std::u16string, std::u16string> files_;        // key -> the path that named it
  std::unordered_map<std::u16string, std::u16string> directories_;  // key -> a path beneath it
};

}  // namespace krdn
