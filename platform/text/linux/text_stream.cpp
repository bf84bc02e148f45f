#include "platform/text/linux/text_stream.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/text/linux/text_document.h"
#include "platform/base/utf.h"

namespace platform::text {
namespace {

constexpr LONG kReadBlock = 64 * 1024;
constexpr UINT kRtfDefaultCodePage = 1252;
constexpr std::size_t kMaxGroupDepth = 1024;

std::u16string DecodeUtf16Le(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto lo = static_cast<unsigned char>(bytes[i]);
    auto hi = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(lo | (hi << 8)));
  }
  return out;
}

std::u16string DecodeLatin1(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

// iconv from a code page to UTF-16LE; each byte it cannot take becomes U+FFFD.
std::u16string DecodeWithIconv(std::string_view bytes, UINT code_page) {
  std::string name = "CP" + std::to_string(code_page);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return DecodeLatin1(bytes);
  std::u16string out;
  std::vector<char> block(4096);
  std::vector<char> in(bytes.begin(), bytes.end());
  char* src = in.data();
  std::size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = block.data();
    std::size_t dst_left = block.size();
    std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    std::size_t produced = block.size() - dst_left;
    out += DecodeUtf16Le(std::string_view(block.data(), produced));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An invalid or cut-off sequence: one replacement character for its first byte.
      out.push_back(u'\uFFFD');
      ++src;
      --src_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Destinations whose content is not part of the text.
bool IsSkippedDestination(std::string_view word) {
  static constexpr std::array<std::string_view, 34> kSkipped{
      "fonttbl",   "colortbl",  "stylesheet", "info",       "pict",       "object",   "header",
      "headerl",   "headerr",   "headerf",    "footer",     "footerl",    "footerr",  "footerf",
      "footnote",  "fldinst",   "themedata",  "colorschememapping", "latentstyles", "datastore",
      "xmlnstbl",  "listtable", "listoverridetable", "rsidtbl", "generator", "filetbl", "revtbl",
      "pgdsctbl",  "nonshppict", "mmathPr",   "annotation", "atnid",      "atnauthor", "xe"};
  return std::find(kSkipped.begin(), kSkipped.end(), word) != kSkipped.end();
}

char16_t NamedCharacter(std::string_view word) {
  if (word == "tab") return u'\t';
  if (word == "emdash") return u'\u2014';
  if (word == "endash") return u'\u2013';
  if (word == "bullet") return u'\u2022';
  if (word == "lquote") return u'\u2018';
  if (word == "rquote") return u'\u2019';
  if (word == "ldblquote") return u'\u201C';
  if (word == "rdblquote") return u'\u201D';
  if (word == "emspace") return u'\u2003';
  if (word == "enspace") return u'\u2002';
  if (word == "qmspace") return u'\u2005';
  return 0;
}

class RtfReader {
 public:
  explicit RtfReader(std::string_view rtf) : rtf_(rtf) {}

  std::u16string Read() {
    groups_.push_back({});  // outside the document's group: nothing is text there
    groups_.back().skip = true;
    while (pos_ < rtf_.size() && !done_) Step();
    Flush();
    if (!out_.empty() && out_.back() == kBreak) out_.pop_back();
    return std::move(out_);
  }

 private:
  struct Group {
    bool skip = false;
    int fallback = 1;  // \ucN: characters that follow each \u as its stand-in
  };

  void Step() {
    char c = rtf_[pos_++];
    switch (c) {
      case '{':
        Flush();
        if (groups_.size() >= kMaxGroupDepth) {
          ++too_deep_;
          return;
        }
        groups_.push_back(groups_.size() == 1 ? Group{} : groups_.back());
        return;
      case '}':
        Flush();
        if (too_deep_ > 0) {
          --too_deep_;
          return;
        }
        groups_.pop_back();
        done_ = groups_.size() <= 1;  // the document's group has closed
        return;
      case '\\':
        Control();
        return;
      case '\r':
      case '\n':
        return;
      default:
        Byte(c);
    }
  }

  bool Skipping() const { return too_deep_ > 0 || groups_.back().skip; }

  void Byte(char c) {
    if (Skipping()) return;
    if (pending_fallback_ > 0) {
      --pending_fallback_;
      return;
    }
    bytes_.push_back(c);
  }

  void Unit(char16_t c) {
    if (Skipping()) return;
    Flush();
    out_.push_back(c);
  }

  void Flush() {
    if (bytes_.empty()) return;
    out_ += DecodeCodePage(bytes_, code_page_);
    bytes_.clear();
  }

  void Control() {
    if (pos_ >= rtf_.size()) return;
    char c = rtf_[pos_];
    if (!IsLetter(c)) {
      ++pos_;
      Symbol(c);
      return;
    }
    std::size_t start = pos_;
    while (pos_ < rtf_.size() && IsLetter(rtf_[pos_]) && pos_ - start < 32) ++pos_;
    std::string_view word = rtf_.substr(start, pos_ - start);
    bool has_param = false;
    long long param = 0;
    bool negative = false;
    if (pos_ < rtf_.size() && rtf_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    std::size_t digits = 0;
    while (pos_ < rtf_.size() && IsDigit(rtf_[pos_])) {
      if (digits < 10) param = param * 10 + (rtf_[pos_] - '0');
      ++digits;
      ++pos_;
      has_param = true;
    }
    if (negative) param = -param;
    if (pos_ < rtf_.size() && rtf_[pos_] == ' ') ++pos_;
    Word(word, has_param, param);
  }

  void Symbol(char c) {
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Byte(c);
        return;
      case '\'': {
        const int high = pos_ < rtf_.size() ? HexValue(rtf_[pos_]) : -1;
        const int low = pos_ + 1 < rtf_.size() ? HexValue(rtf_[pos_ + 1]) : -1;
        if (high >= 0 && low >= 0) {
          Byte(static_cast<char>(high * 16 + low));
          pos_ += 2;
        } else if (high >= 0) {
          ++pos_;  // a cut-off escape stands for nothing
        }
        return;
      }
      case '*':
        if (!groups_.empty()) groups_.back().skip = true;
        return;
      case '~':
        Unit(u'\u00A0');
        return;
      case '_':
        Unit(u'\u2011');
        return;
      case '\r':
      case '\n':
        Unit(kBreak);
        return;
      default:
        return;  // \- optional hyphen, \| and other symbols: nothing in plain text
    }
  }

  void Word(std::string_view word, bool has_param, long long param) {
    if (IsSkippedDestination(word)) {
      groups_.back().skip = true;
      return;
    }
    if (word == "par" || word == "line" || word == "sect" || word == "page") {
      Unit(kBreak);
    } else if (char16_t named = NamedCharacter(word)) {
      Unit(named);
    } else if (word == "u" && has_param) {
      long long v = param < 0 ? param + 65536 : param;
      if (v >= 0 && v <= 0xFFFF && v != 0) Unit(static_cast<char16_t>(v));
      if (!Skipping()) pending_fallback_ = groups_.back().fallback;
    } else if (word == "uc" && has_param) {
      groups_.back().fallback = static_cast<int>(std::clamp<long long>(param, 0, 16));
    } else if (word == "ansicpg" && has_param && param > 0 && param <= 65535) {
      Flush();
      code_page_ = static_cast<UINT>(param);
    } else if (word == "bin" && has_param && param > 0) {
      pos_ += static_cast<std::size_t>(std::min<long long>(param, static_cast<long long>(rtf_.size() - pos_)));
    }
  }

  std::string_view rtf_;
  std::size_t pos_ = 0;
  std::vector<Group> groups_;
  std::size_t too_deep_ = 0;
  bool done_ = false;
  int pending_fallback_ = 0;
  UINT code_page_ = kRtfDefaultCodePage;
  std::string bytes_;
  std::u16string out_;
};

}  // namespace

StreamBytes ReadStream(EDITSTREAM& stream, std::size_t max_bytes) {
  StreamBytes result;
  if (!stream.pfnCallback) return result;
  std::vector<BYTE> block(static_cast<std::size_t>(kReadBlock));
  while (result.bytes.size() < max_bytes) {
    LONG want = static_cast<LONG>(std::min<std::size_t>(block.size(), max_bytes - result.bytes.size()));
    LONG got = 0;
    DWORD error = stream.pfnCallback(stream.dwCookie, block.data(), want, &got);
    if (error != 0) {
      result.error = error;
      break;
    }
    if (got <= 0) break;
    got = std::min(got, want);
    result.bytes.append(reinterpret_cast<const char*>(block.data()), static_cast<std::size_t>(got));
  }
  return result;
}

std::u16string DecodeCodePage(std::string_view bytes, UINT code_page) {
  if (code_page == 0 || code_page == CP_UTF8) return Utf8ToUtf16(bytes);
  if (code_page == CP_UTF16LE) return DecodeUtf16Le(bytes);
  // ASCII reads the same in every code page iconv is asked for here.
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return DecodeLatin1(bytes);
  }
  return DecodeWithIconv(bytes, code_page);
}

bool LooksLikeRtf(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n')) ++i;
  return bytes.substr(i, 5) == "{\\rtf";
}

std::u16string RtfToText(std::string_view rtf) { return RtfReader(rtf).Read(); }

}  // namespace platform::text
