#include "tools/verinfo/version_record.h"

#include <sstream>

#include "platform/base/utf.h"

namespace verinfo {
namespace {

constexpr std::uint16_t kLanguage = 0x0804;
constexpr std::uint16_t kCodePage = 1200;

// A block of the record: length, value length, type, key, padding, value, padding,
// children. Lengths are patched when the block is closed.
class Writer {
 public:
  std::size_t Open(const std::u16string& key, std::uint16_t value_length, std::uint16_t type) {
    Align();
    std::size_t start = bytes_.size();
    Put16(0);
    Put16(value_length);
    Put16(type);
    for (char16_t c : key) Put16(c);
    Put16(0);
    Align();
    return start;
  }
  void Close(std::size_t start) {
    std::size_t length = bytes_.size() - start;
    bytes_[start] = static_cast<std::uint8_t>(length & 0xFF);
    bytes_[start + 1] = static_cast<std::uint8_t>(length >> 8);
  }
  void Put16(std::uint32_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }
  void Put32(std::uint32_t v) {
    Put16(v & 0xFFFF);
    Put16(v >> 16);
  }
  void Align() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

bool ParseNumbers(const std::string& text, std::array<std::uint16_t, 4>& out) {
  std::istringstream in(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    unsigned long v = 0;
    if (!(in >> v) || v > 0xFFFF) return false;
    out[i] = static_cast<std::uint16_t>(v);
    if (i + 1 < out.size() && (in >> std::ws).peek() == ',') in.get();
  }
  return true;
}

std::string Trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

std::optional<VersionFields> ParseVersionText(const std::string& text, std::string* error) {
  VersionFields fields;
  bool have_file = false, have_product = false;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      *error = "line " + std::to_string(number) + ": expected name=value";
      return std::nullopt;
    }
    std::string name = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (name == "FileVersion") have_file = ParseNumbers(value, fields.file_version);
    if (name == "ProductVersion") have_product = ParseNumbers(value, fields.product_version);
    fields.strings.emplace_back(platform::Utf8ToUtf16(name), platform::Utf8ToUtf16(value));
  }
  if (!have_file || !have_product) {
    *error = "FileVersion and ProductVersion must each give four numbers";
    return std::nullopt;
  }
  return fields;
}

std::vector<std::uint8_t> BuildVersionRecord(const VersionFields& fields) {
  Writer w;
  std::size_t root = w.Open(u"VS_VERSION_INFO", 52, 0);
  w.Put32(0xFEEF04BD);  // signature
  w.Put32(0x00010000);  // structure version
  w.Put32(static_cast<std::uint32_t>(fields.file_version[0]) << 16 | fields.file_version[1]);
  w.Put32(static_cast<std::uint32_t>(fields.file_version[2]) << 16 | fields.file_version[3]);
  w.Put32(static_cast<std::uint32_t>(fields.product_version[0]) << 16 | fields.product_version[1]);
  w.Put32(static_cast<std::uint32_t>(fields.product_version[2]) << 16 | fields.product_version[3]);
  w.Put32(0x3F);     // flags mask
  w.Put32(0);        // flags
  w.Put32(0x40004);  // 32-bit Windows NT
  w.Put32(1);        // application
  w.Put32(0);
  w.Put32(0);
  w.Put32(0);

  std::size_t string_info = w.Open(u"StringFileInfo", 0, 1);
  std::size_t table = w.Open(u"080404b0", 0, 1);
  for (const auto& [name, value] : fields.strings) {
    std::size_t entry = w.Open(name, static_cast<std::uint16_t>(value.size() + 1), 1);
    for (char16_t c : value) w.Put16(c);
    w.Put16(0);
    w.Close(entry);
  }
  w.Close(table);
  w.Close(string_info);

  std::size_t var_info = w.Open(u"VarFileInfo", 0, 1);
  std::size_t translation = w.Open(u"Translation", 4, 0);
  w.Put16(kLanguage);
  w.Put16(kCodePage);
  w.Close(translation);
  w.Close(var_info);
  w.Close(root);
  return w.Take();
}

}  // namespace verinfo
