// The install root against whatever a folder may hold. Each input builds a tree of
// files, directories and links (to files, directories and nothing outside, to the
// scratch directory's other entries, to places inside, to themselves) and of second
// hard-linked names of files outside and inside, in a fresh install directory, then
// plays manifest paths through what a run does with them: look, make the parent
// directories, open in every mode, clear read-only, cut, extend and write.
// Invariants, checked after every input:
// - nothing outside the install directory changed: the files and links beside it and
//   their targets keep their bytes, kinds and modes, and no entry appears next to it;
// - every path the run made a file of is a regular file with one name beneath real
//   directories, and it fails only where a regular file stands in the way of a
//   directory or a directory stands where the file should be.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "platform/io/install_root.h"
#include "platform/base/utf.h"

namespace {

namespace fs = std::filesystem;

// Aborts, naming the line of the invariant that failed.
void Check(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "containment invariant broken at line %d\n", line);
  std::abort();
}

// Reads the fuzzer's bytes one choice at a time; zeros once they run out.
class Choices {
 public:
  explicit Choices(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint8_t Next() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
  std::size_t Below(std::size_t n) { return Next() % n; }
  bool Done() const { return at_ >= bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

struct Entry {
  char type = '?';  // f file, d directory, l link, ? other
  mode_t mode = 0;
  std::string content;  // a file's bytes, a link's target
  friend bool operator==(const Entry&, const Entry&) = default;
};
using Tree = std::map<std::string, Entry>;

std::optional<Entry> Look(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  Entry entry;
  entry.mode = st.st_mode & 07777;
  if (S_ISREG(st.st_mode)) {
    entry.type = 'f';
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    Check(fd >= 0);
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) entry.content.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
  } else if (S_ISDIR(st.st_mode)) {
    entry.type = 'd';
  } else if (S_ISLNK(st.st_mode)) {
    entry.type = 'l';
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    Check(n >= 0);
    entry.content.assign(target, static_cast<std::size_t>(n));
  }
  return entry;
}

// Everything beneath dir (not following links), by path relative to it.
void Snapshot(const std::string& dir, const std::string& prefix, Tree& tree) {
  DIR* stream = ::opendir(dir.c_str());
  Check(stream != nullptr);
  while (const dirent* item = ::readdir(stream)) {
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    const std::optional<Entry> entry = Look(dir + "/" + name);
    Check(entry.has_value());
    tree[prefix + name] = *entry;
    if (entry->type == 'd') Snapshot(dir + "/" + name, prefix + name + "/", tree);
  }
  ::closedir(stream);
}

// The scratch directory, made once per process: the install directory and, beside it,
// what links may point at.
struct Scratch {
  std::string base;
  std::string install;
  Tree before;  // of base, without the install directory

  Scratch() {
    char name[] = "/dev/shm/krdn-containment-XXXXXX";
    const char* made = ::mkdtemp(name);
    Check(made != nullptr);
    base = made;
    install = base + "/install";
    fs::create_directories(base + "/outside/dir/sub");
    Write(base + "/outside/file", "outside file");
    Write(base + "/outside/readonly", "read-only outside");
    ::chmod((base + "/outside/readonly").c_str(), 0444);
    Write(base + "/outside/dir/inner", "inner");
    ::chmod((base + "/outside/dir").c_str(), 0755);
    Write(base + "/sentinel", "beside the install directory");
    fs::create_symlink(base + "/outside/file", base + "/outside/link-to-file");
    before = Outside();
  }

  static void Write(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Check(fd >= 0);
    Check(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }

  Tree Outside() const {
    Tree tree;
    Snapshot(base, "", tree);
    for (auto it = tree.begin(); it != tree.end();) {
      it = it->first == "install" || it->first.rfind("install/", 0) == 0 ? tree.erase(it) : std::next(it);
    }
    return tree;
  }
};

// Removed when the fuzzer ends normally; kept after a broken invariant, to be looked at.
Scratch& TheScratch() {
  static Scratch scratch;
  static const int registered = std::atexit([] {
    std::error_code ignored;
    fs::remove_all(TheScratch().base, ignored);
  });
  (void)registered;
  return scratch;
}

const char* const kNames[] = {"a", "b", "bin", "A", "data"};

std::string RandomPath(Choices& choices, bool odd_components) {
  const std::size_t depth = 1 + choices.Below(3);
  std::string path;
  for (std::size_t i = 0; i < depth; ++i) {
    if (i > 0) path += choices.Below(4) == 0 ? "\\" : "/";
    const std::size_t pick = choices.Below(odd_components ? 8 : 5);
    path += pick < 5 ? kNames[pick] : pick == 5 ? ".." : pick == 6 ? "." : "";
  }
  return path;
}

// A link target: outside, beside, at the filesystem root, nowhere, inside, itself.
std::string LinkTarget(Choices& choices, const Scratch& scratch, const std::string& link_path) {
  switch (choices.Below(9)) {
    case 0: return scratch.base + "/outside/file";
    case 1: return scratch.base + "/outside/readonly";
    case 2: return scratch.base + "/outside/dir";
    case 3: return scratch.base + "/outside/absent";
    case 4: return "../../outside/dir/inner";
    case 5: return scratch.base + "/sentinel";
    case 6: return scratch.base + "/outside/link-to-file";
    case 7: return scratch.install + "/a";
    default: return link_path;  // a loop
  }
}

// A file to give a second name: outside, beside, or inside the install directory.
std::string HardLinkTarget(Choices& choices, const Scratch& scratch) {
  switch (choices.Below(5)) {
    case 0: return scratch.base + "/outside/file";
    case 1: return scratch.base + "/outside/readonly";
    case 2: return scratch.base + "/outside/dir/inner";
    case 3: return scratch.base + "/sentinel";
    default: return scratch.install + "/" + kNames[choices.Below(5)];
  }
}

// The components of a path, split at "/" and "\"; nothing when one is empty, "." or "..";
// none for the empty path, the install directory.
std::optional<std::vector<std::string>> Components(const std::string& path) {
  std::vector<std::string> out;
  if (path.empty()) return out;  // the install directory itself
  std::string current;
  for (const char c : path + "/") {
    if (c != '/' && c != '\\') {
      current += c;
      continue;
    }
    if (current.empty() || current == "." || current == "..") return std::nullopt;
    out.push_back(current);
    current.clear();
  }
  return out;
}

// Builds the random tree in the (empty) install directory. The fuzzer itself makes it
// without following links (directories opened with O_NOFOLLOW, entries made relative to
// them), so that whatever changes outside is the install root's doing.
void BuildTree(Choices& choices, const Scratch& scratch) {
  const std::size_t entries = choices.Below(12);
  for (std::size_t i = 0; i < entries; ++i) {
    std::string relative = RandomPath(choices, false);
    for (char& c : relative) c = c == '\\' ? '/' : c;
    const std::vector<std::string> components = *Components(relative);
    int dir = ::open(scratch.install.c_str(), O_DIRECTORY | O_CLOEXEC);
    Check(dir >= 0);
    for (std::size_t c = 0; c + 1 < components.size() && dir >= 0; ++c) {
      ::mkdirat(dir, components[c].c_str(), 0755);
      const int next = ::openat(dir, components[c].c_str(), O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      ::close(dir);
      dir = next;
    }
    if (dir < 0) continue;  // a file or a link stands where this entry's directory would be
    const char* name = components.back().c_str();
    switch (choices.Below(5)) {
      case 0: {
        const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
          const std::string bytes(choices.Below(40), 'x');
          Check(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
          if (choices.Below(2) == 0) ::fchmod(fd, 0444);
          ::close(fd);
        }
        break;
      }
      case 1:
        ::mkdirat(dir, name, 0755);
        break;
      case 2:  // never follows a link at the target: a symbolic link gets a second name itself
        ::linkat(AT_FDCWD, HardLinkTarget(choices, scratch).c_str(), dir, name, 0);
        break;
      default:
        ::symlinkat(LinkTarget(choices, scratch, scratch.install + "/" + relative).c_str(), dir, name);
        break;
    }
    ::close(dir);
  }
}

// What the tree holds in the way of a file at the path: false when a regular file
// stands where a directory is needed or a directory where the file is, the two cases
// in which making the file must fail.
bool FileCanBeMade(const Scratch& scratch, const std::vector<std::string>& components) {
  if (components.empty()) return false;  // the install directory is no file
  std::string path = scratch.install;
  for (std::size_t i = 0; i < components.size(); ++i) {
    path += "/" + components[i];
    const std::optional<Entry> entry = Look(path);
    if (!entry) return true;               // missing from here on: made
    if (entry->type == 'l') return true;    // replaced by a real directory or file, empty beneath
    if (i + 1 == components.size()) return entry->type == 'f';
    if (entry->type != 'd') return false;
  }
  return true;
}

// A file made by the run is a regular file, and each directory above it a real one.
void CheckMadeFile(const Scratch& scratch, const std::vector<std::string>& components) {
  std::string path = scratch.install;
  for (std::size_t i = 0; i < components.size(); ++i) {
    path += "/" + components[i];
    const std::optional<Entry> entry = Look(path);
    Check(entry.has_value());
    Check(entry->type == (i + 1 == components.size() ? 'f' : 'd'));
  }
  struct stat st {};
  Check(::lstat(path.c_str(), &st) == 0 && st.st_nlink == 1);
}

void PlayRun(Choices& choices, const Scratch& scratch, const platform::InstallRoot& root) {
  const std::size_t paths = 1 + choices.Below(6);
  for (std::size_t p = 0; p < paths; ++p) {
    const std::string path = (choices.Below(2) == 0 ? "\\" : "") + RandomPath(choices, choices.Below(8) == 0);
    const std::u16string wide = platform::Utf8ToUtf16(path);
    // One leading separator of either kind is allowed, as a manifest path's "\".
    const bool leading = path.front() == '\\' || path.front() == '/';
    const std::optional<std::vector<std::string>> components = Components(leading ? path.substr(1) : path);
    (void)root.Attributes(wide);
    switch (choices.Below(6)) {
      case 0: {  // what the download pass does to a file: parent, create or extend, write
        const bool makeable = components && FileCanBeMade(scratch, *components);
        const std::size_t cut = wide.find_last_of(u"\\/");
        const bool parent = root.CreateDirectories(cut == std::u16string::npos ? u"" : wide.substr(0, cut));
        std::optional<platform::File> file = parent ? root.OpenFile(wide, platform::File::Mode::kAppend) : std::nullopt;
        Check(file.has_value() == makeable);
        if (file) {
          const std::vector<std::uint8_t> bytes(1 + choices.Below(64), 0x5A);
          Check(file->ExtendWithZeros(128));
          Check(file->WriteAt(choices.Below(64), bytes));
          file.reset();
          CheckMadeFile(scratch, *components);
          Check(root.ClearReadOnly(wide));
        }
        break;
      }
      case 1:
        if (std::optional<platform::File> file = root.OpenFile(wide, platform::File::Mode::kCreate)) {
          Check(file->Append(std::vector<std::uint8_t>(8, 0x33)));
          file.reset();
          Check(components.has_value());
          CheckMadeFile(scratch, *components);
        }
        break;
      case 2:  // verification reads; a cut to size
        if (std::optional<platform::File> file = root.OpenFile(wide, platform::File::Mode::kRead)) {
          std::vector<std::uint8_t> buffer(32);
          (void)file->ReadAt(0, buffer);
        }
        if (std::optional<platform::File> file = root.OpenFile(wide, platform::File::Mode::kTruncate)) {
          Check(file->Resize(choices.Below(16)));
        }
        break;
      case 3:
        if (std::optional<platform::File> file = root.OpenFile(wide, platform::File::Mode::kUpdate)) {
          Check(file->WriteAt(0, std::vector<std::uint8_t>(4, 0x44)));
        }
        break;
      case 4:
        (void)root.ClearReadOnly(wide);
        break;
      default:
        if (root.CreateDirectories(wide)) {
          Check(components.has_value());
          std::string at = scratch.install;
          for (const std::string& component : *components) {
            at += "/" + component;
            const std::optional<Entry> entry = Look(at);
            Check(entry && entry->type == 'd');
          }
        }
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Scratch& scratch = TheScratch();
  std::error_code error;
  fs::remove_all(scratch.install, error);  // never follows the links inside
  Check(!error);
  Check(::mkdir(scratch.install.c_str(), 0755) == 0);

  Choices choices({data, size});
  const auto resolution =
      choices.Below(2) == 0 ? platform::InstallRoot::Resolution::kWholePath : platform::InstallRoot::Resolution::kComponentWise;
  BuildTree(choices, scratch);
  Check(scratch.Outside() == scratch.before);  // the tree is made without touching outside

  {
    const platform::InstallRoot root = platform::InstallRoot::Open(platform::Utf8ToUtf16(scratch.install), resolution);
    Check(root.is_open());
    PlayRun(choices, scratch, root);
  }
  Check(scratch.Outside() == scratch.before);
  return 0;
}
