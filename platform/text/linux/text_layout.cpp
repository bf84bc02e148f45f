#include "platform/text/linux/text_layout.h"

#include <cairo.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>

#include "platform/toolkit/font_faces.h"
#include "platform/base/utf.h"

namespace platform::text {
namespace {

constexpr std::size_t kCachedPieces = 160;
// With wrapping, a piece boundary moves back to just after a blank found this close.
constexpr TextPos kWrapBoundarySearch = 128;

int ToPixels(std::int64_t units) { return static_cast<int>((units + PANGO_SCALE / 2) / PANGO_SCALE); }
int ToPixelsUp(std::int64_t units) { return static_cast<int>((units + PANGO_SCALE - 1) / PANGO_SCALE); }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void SetSourceColor(cairo_t* cr, COLORREF color) {
  cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
}

}  // namespace

// One laid-out piece of a paragraph: the pango layout of its display text and, for
// every code unit, where its character begins in that text.
struct TextLayout::Piece {
  TextPos paragraph = 0;
  int index = 0;
  PangoLayout* layout = nullptr;
  std::string utf8;
  std::vector<int> byte_of;  // code unit -> byte offset; one more entry for the end
  std::uint64_t used = 0;

  Piece() = default;
  Piece(const Piece&) = delete;
  Piece& operator=(const Piece&) = delete;
  ~Piece() {
    if (layout) g_object_unref(layout);
  }

  // The code unit whose character starts at (or first after) a byte offset.
  TextPos UnitOfByte(int byte) const {
    auto it = std::lower_bound(byte_of.begin(), byte_of.end(), byte);
    if (it == byte_of.end()) return static_cast<TextPos>(byte_of.size()) - 1;
    return static_cast<TextPos>(it - byte_of.begin());
  }
  // The code unit of a pango hit (index plus trailing characters).
  TextPos UnitOfHit(int hit_index, int trailing) const {
    int byte = std::clamp(hit_index, 0, static_cast<int>(utf8.size()));
    for (int i = 0; i < trailing && byte < static_cast<int>(utf8.size()); ++i) {
      byte = static_cast<int>(g_utf8_next_char(utf8.data() + byte) - utf8.data());
    }
    return UnitOfByte(byte);
  }
  int ByteOfUnit(TextPos unit) const {
    unit = std::clamp<TextPos>(unit, 0, static_cast<TextPos>(byte_of.size()) - 1);
    return byte_of[static_cast<std::size_t>(unit)];
  }
};

TextLayout::TextLayout(const TextDocument& document) : doc_(document) {
  font_map_ = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (font_map_) {
    if (FcConfig* config = ToolkitFontConfig()) pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(font_map_), config);
    context_ = pango_font_map_create_context(font_map_);
  }
  if (context_) {
    // As the toolkit's renderer draws: grey anti-aliasing, no hinting, so the box
    // measures its text as the rest of the window does.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
  }
  SetTabStop(tab_stop_);
  SetFont(FontSpec{});
}

TextLayout::~TextLayout() {
  cache_.clear();
  if (tabs_) pango_tab_array_free(tabs_);
  if (attrs_) pango_attr_list_unref(attrs_);
  if (font_) pango_font_description_free(font_);
  if (context_) g_object_unref(context_);
  if (font_map_) g_object_unref(font_map_);
}

void TextLayout::SetFont(const FontSpec& font) {
  if (font_) pango_font_description_free(font_);
  if (attrs_) pango_attr_list_unref(attrs_);
  font_ = pango_font_description_new();
  std::u16string face = font.face.substr(0, 31);
  pango_font_description_set_family(font_, face.empty() ? "sans-serif" : Utf16ToUtf8(face).c_str());
  double px = font.pixel_size > 0 && font.pixel_size < 2000 ? font.pixel_size : 12;
  pango_font_description_set_absolute_size(font_, px * PANGO_SCALE);
  pango_font_description_set_weight(font_, static_cast<PangoWeight>(std::clamp(font.weight, 100, 1000)));
  pango_font_description_set_style(font_, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  attrs_ = pango_attr_list_new();
  if (font.underline) pango_attr_list_insert(attrs_, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (font.strike_out) pango_attr_list_insert(attrs_, pango_attr_strikethrough_new(TRUE));

  line_height_ = static_cast<int>(std::lround(px * 1.2));
  baseline_ = static_cast<int>(std::lround(px));
  if (context_) {
    // The height of "A" is the height of every line, as the box measures it too.
    PangoLayout* probe = pango_layout_new(context_);
    pango_layout_set_font_description(probe, font_);
    pango_layout_set_text(probe, "A", 1);
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(probe, &w, &h);
    if (h > 0) line_height_ = h;
    baseline_ = ToPixels(pango_layout_get_baseline(probe));
    pango_layout_set_text(probe, " ", 1);
    pango_layout_get_pixel_size(probe, &w, &h);
    break_width_ = std::max(2, w);
    g_object_unref(probe);
  }
  ResetMeasures();
}

void TextLayout::SetWrapWidth(int width) {
  width = std::max(0, width);
  if (width == wrap_width_) return;
  wrap_width_ = width;
  ResetMeasures();
}

void TextLayout::SetPasswordChar(char16_t ch) {
  if (ch == password_) return;
  password_ = ch;
  ResetMeasures();
}

void TextLayout::SetTabStop(int pixels) {
  tab_stop_ = std::clamp(pixels, 1, 4096);
  if (tabs_) pango_tab_array_free(tabs_);
  constexpr int kStops = 64;
  tabs_ = pango_tab_array_new(kStops, TRUE);
  for (int i = 0; i < kStops; ++i) pango_tab_array_set_tab(tabs_, i, PANGO_TAB_LEFT, tab_stop_ * (i + 1));
  ResetMeasures();
}

void TextLayout::SetAlignment(Align align, int view_width) {
  align_ = align;
  view_width_ = std::max(0, view_width);
}

void TextLayout::DropLayouts() { cache_.clear(); }

void TextLayout::ResetMeasures() {
  DropLayouts();
  long_.clear();
  widths_.assign(static_cast<std::size_t>(doc_.ParagraphCount()), -1);
  line_counts_.assign(Wraps() ? static_cast<std::size_t>(doc_.ParagraphCount()) : 0, 0);
  line_prefix_.assign(Wraps() ? static_cast<std::size_t>(doc_.ParagraphCount()) + 1 : 0, 0);
  prefix_valid_ = 0;
  widest_ = 0;
  widest_stale_ = false;
}

void TextLayout::ParagraphsChanged(const ParagraphSplice& splice) {
  const auto first = static_cast<std::size_t>(splice.first);
  const auto removed = static_cast<std::size_t>(splice.removed);
  const auto added = static_cast<std::size_t>(splice.added);
  const TextPos shift = splice.added - splice.removed;

  for (std::size_t i = first; i < first + removed && i < widths_.size(); ++i) {
    if (widths_[i] >= widest_) widest_stale_ = true;
  }
  widths_.erase(widths_.begin() + static_cast<std::ptrdiff_t>(first),
                widths_.begin() + static_cast<std::ptrdiff_t>(first + removed));
  widths_.insert(widths_.begin() + static_cast<std::ptrdiff_t>(first), added, -1);

  if (Wraps()) {
    line_counts_.erase(line_counts_.begin() + static_cast<std::ptrdiff_t>(first),
                       line_counts_.begin() + static_cast<std::ptrdiff_t>(first + removed));
    line_counts_.insert(line_counts_.begin() + static_cast<std::ptrdiff_t>(first), added, 0);
    line_prefix_.resize(line_counts_.size() + 1);
    prefix_valid_ = std::min(prefix_valid_, splice.first);
  }

  if (KeepPiecesBefore(splice)) return;  // one paragraph changed, nothing moved
  if (!long_.empty()) {
    std::unordered_map<TextPos, LongParagraph> moved;
    for (auto& [paragraph, data] : long_) {
      if (paragraph < splice.first) {
        moved.emplace(paragraph, std::move(data));
      } else if (paragraph >= splice.first + splice.removed) {
        moved.emplace(paragraph + shift, std::move(data));
      }
    }
    long_ = std::move(moved);
  }

  // Layouts of untouched paragraphs stay; those behind the change only move.
  std::erase_if(cache_, [&](const std::shared_ptr<Piece>& piece) {
    return piece->paragraph >= splice.first && piece->paragraph < splice.first + splice.removed;
  });
  for (auto& piece : cache_) {
    if (piece->paragraph >= splice.first + splice.removed) piece->paragraph += shift;
  }
}

// ---- pieces ------------------------------------------------------------------------------

TextLayout::LongParagraph* TextLayout::LongOf(TextPos paragraph) {
  const TextPos start = doc_.ParagraphStart(paragraph);
  const TextPos length = doc_.ParagraphEnd(paragraph) - start;
  auto it = long_.find(paragraph);
  if (length <= kPieceLength) {
    if (it != long_.end()) long_.erase(it);
    return nullptr;
  }
  if (it == long_.end()) it = long_.emplace(paragraph, LongParagraph{{0}, {}, {}, false}).first;
  LongParagraph& data = it->second;
  if (!data.complete) FindPieces(data, start, length);
  return &data;
}

void TextLayout::FindPieces(LongParagraph& data, TextPos start, TextPos length) {
  // bounds ends with the start of the first piece still to find.
  TextPos at = data.bounds.back();
  data.bounds.pop_back();
  while (at < length) {
    data.bounds.push_back(at);
    TextPos next = std::min(length, at + kPieceLength);
    if (next < length) {
      if (Wraps()) {
        for (TextPos back = next; back > next - kWrapBoundarySearch && back > at + 1; --back) {
          char16_t c = doc_.At(start + back - 1);
          if (c == u' ' || c == u'\t') {
            next = back;
            break;
          }
        }
      }
      if (IsLowSurrogate(doc_.At(start + next)) && IsHighSurrogate(doc_.At(start + next - 1))) --next;
    }
    at = next;
  }
  data.bounds.push_back(length);
  const std::size_t pieces = data.bounds.size() - 1;
  data.widths.resize(pieces, -1);
  data.line_counts.resize(pieces, 0);
  data.complete = true;
}

bool TextLayout::KeepPiecesBefore(const ParagraphSplice& splice) {
  if (splice.removed != 1 || splice.added != 1) return false;
  auto it = long_.find(splice.first);
  if (it == long_.end()) return false;
  LongParagraph& data = it->second;
  const TextPos rel = splice.at - doc_.ParagraphStart(splice.first);
  // A piece stays when it ends before the change (its boundary looked at the
  // character there).
  std::size_t keep = 0;
  const std::size_t pieces = data.bounds.size() - 1;
  while (keep < pieces && data.bounds[keep + 1] < rel) ++keep;
  data.bounds.resize(keep + 1);
  data.widths.resize(keep);
  data.line_counts.resize(keep);
  data.complete = false;
  std::erase_if(cache_, [&](const std::shared_ptr<Piece>& piece) {
    return piece->paragraph == splice.first && piece->index >= static_cast<int>(keep);
  });
  return true;
}

int TextLayout::PieceCount(TextPos paragraph) {
  LongParagraph* data = LongOf(paragraph);
  return data ? static_cast<int>(data->bounds.size()) - 1 : 1;
}

std::pair<TextPos, TextPos> TextLayout::PieceRange(TextPos paragraph, int piece) {
  const TextPos start = doc_.ParagraphStart(paragraph);
  LongParagraph* data = LongOf(paragraph);
  if (!data) return {start, doc_.ParagraphEnd(paragraph)};
  return {start + data->bounds[static_cast<std::size_t>(piece)], start + data->bounds[static_cast<std::size_t>(piece) + 1]};
}

int TextLayout::PieceOfPosition(TextPos paragraph, TextPos pos) {
  LongParagraph* data = LongOf(paragraph);
  if (!data) return 0;
  const TextPos rel = pos - doc_.ParagraphStart(paragraph);
  auto it = std::upper_bound(data->bounds.begin(), data->bounds.end() - 1, rel);
  return std::max(0, static_cast<int>(it - data->bounds.begin()) - 1);
}

std::shared_ptr<TextLayout::Piece> TextLayout::PieceOf(TextPos paragraph, int piece) {
  for (auto& cached : cache_) {
    if (cached->paragraph == paragraph && cached->index == piece) {
      cached->used = ++clock_;
      return cached;
    }
  }
  auto made = MakePiece(paragraph, piece);
  if (cache_.size() >= kCachedPieces) {
    auto oldest = std::min_element(cache_.begin(), cache_.end(),
                                   [](const auto& a, const auto& b) { return a->used < b->used; });
    *oldest = made;
  } else {
    cache_.push_back(made);
  }
  return made;
}

std::shared_ptr<TextLayout::Piece> TextLayout::MakePiece(TextPos paragraph, int index) {
  auto piece = std::make_shared<Piece>();
  piece->paragraph = paragraph;
  piece->index = index;
  piece->used = ++clock_;
  auto [start, end] = PieceRange(paragraph, index);
  std::u16string_view text = doc_.Slice(start, end - start);

  // The display text: every code point once (the password character in its place),
  // a lone surrogate as U+FFFD.
  piece->byte_of.assign(text.size() + 1, 0);
  piece->utf8.reserve(text.size());
  const char32_t mask = password_ && !IsHighSurrogate(password_) && !IsLowSurrogate(password_) ? password_ : 0;
  for (std::size_t i = 0; i < text.size();) {
    piece->byte_of[i] = static_cast<int>(piece->utf8.size());
    char32_t cp = text[i];
    std::size_t units = 1;
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      units = 2;
      piece->byte_of[i + 1] = piece->byte_of[i];
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      cp = 0xFFFD;
    }
    AppendUtf8(piece->utf8, mask ? mask : cp);
    i += units;
  }
  piece->byte_of[text.size()] = static_cast<int>(piece->utf8.size());

  if (context_) {
    PangoLayout* layout = pango_layout_new(context_);
    pango_layout_set_font_description(layout, font_);
    pango_layout_set_attributes(layout, attrs_);
    pango_layout_set_tabs(layout, tabs_);
    // Line and paragraph separators inside a paragraph are characters, not breaks.
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    if (Wraps()) {
      pango_layout_set_width(layout, wrap_width_ * PANGO_SCALE);
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_text(layout, piece->utf8.data(), static_cast<int>(piece->utf8.size()));
    piece->layout = layout;
  }
  return piece;
}

std::int64_t TextLayout::PieceWidth(TextPos paragraph, int index) {
  LongParagraph* data = LongOf(paragraph);
  if (data && data->widths[static_cast<std::size_t>(index)] >= 0) return data->widths[static_cast<std::size_t>(index)];
  auto piece = PieceOf(paragraph, index);
  PangoRectangle logical{};
  if (piece->layout) pango_layout_get_extents(piece->layout, nullptr, &logical);
  std::int64_t width = std::max(0, logical.width);
  if (data) data->widths[static_cast<std::size_t>(index)] = width;
  return width;
}

int TextLayout::PieceLines(TextPos paragraph, int index) {
  LongParagraph* data = LongOf(paragraph);
  if (data && data->line_counts[static_cast<std::size_t>(index)] > 0) {
    return data->line_counts[static_cast<std::size_t>(index)];
  }
  auto piece = PieceOf(paragraph, index);
  int lines = piece->layout ? std::max(1, pango_layout_get_line_count(piece->layout)) : 1;
  if (data) data->line_counts[static_cast<std::size_t>(index)] = lines;
  return lines;
}

int TextLayout::ParagraphLines(TextPos paragraph) {
  if (!Wraps()) return 1;
  int& count = line_counts_[static_cast<std::size_t>(paragraph)];
  if (count > 0) return count;
  int total = 0;
  const int pieces = PieceCount(paragraph);
  for (int k = 0; k < pieces; ++k) total += PieceLines(paragraph, k);
  count = std::max(1, total);
  return count;
}

int TextLayout::ParagraphWidth(TextPos paragraph) {
  int& width = widths_[static_cast<std::size_t>(paragraph)];
  if (width >= 0) return width;
  std::int64_t units = 0;
  const int pieces = PieceCount(paragraph);
  for (int k = 0; k < pieces; ++k) units += PieceWidth(paragraph, k);
  width = static_cast<int>(std::min<std::int64_t>(ToPixelsUp(units), 0x3FFFFFFF));
  if (width > widest_) widest_ = width;
  return width;
}

// ---- lines -------------------------------------------------------------------------------

void TextLayout::ExtendPrefix(TextPos paragraph_count) {
  paragraph_count = std::min(paragraph_count, doc_.ParagraphCount());
  while (prefix_valid_ < paragraph_count) {
    const auto i = static_cast<std::size_t>(prefix_valid_);
    const std::int64_t next = std::int64_t{line_prefix_[i]} + ParagraphLines(prefix_valid_);
    line_prefix_[i + 1] = static_cast<TextPos>(std::min<std::int64_t>(next, 0x7FFFFFFF));
    ++prefix_valid_;
  }
}

TextPos TextLayout::LineCount() {
  if (!Wraps()) return doc_.ParagraphCount();
  ExtendPrefix(doc_.ParagraphCount());
  return line_prefix_[static_cast<std::size_t>(doc_.ParagraphCount())];
}

TextLayout::LineAddress TextLayout::AddressOf(TextPos line) {
  if (!Wraps()) return {std::clamp<TextPos>(line, 0, doc_.ParagraphCount() - 1), 0, 0};
  line = std::max<TextPos>(line, 0);
  while (prefix_valid_ < doc_.ParagraphCount() && line_prefix_[static_cast<std::size_t>(prefix_valid_)] <= line) {
    ExtendPrefix(prefix_valid_ + 1);
  }
  auto begin = line_prefix_.begin();
  auto it = std::upper_bound(begin, begin + prefix_valid_ + 1, line);
  TextPos paragraph = std::clamp<TextPos>(static_cast<TextPos>(it - begin) - 1, 0, doc_.ParagraphCount() - 1);
  int sub = static_cast<int>(line - line_prefix_[static_cast<std::size_t>(paragraph)]);
  const int pieces = PieceCount(paragraph);
  for (int k = 0; k < pieces; ++k) {
    const int lines = PieceLines(paragraph, k);
    if (sub < lines || k == pieces - 1) return {paragraph, k, std::min(sub, lines - 1)};
    sub -= lines;
  }
  return {paragraph, 0, 0};
}

VisualLine TextLayout::Line(TextPos line) {
  LineAddress at = AddressOf(line);
  VisualLine result;
  result.paragraph = at.paragraph;
  if (!Wraps()) {
    result.start = doc_.ParagraphStart(at.paragraph);
    result.end = doc_.ParagraphEnd(at.paragraph);
    return result;
  }
  auto [piece_start, piece_end] = PieceRange(at.paragraph, at.piece);
  auto piece = PieceOf(at.paragraph, at.piece);
  const int lines = piece->layout ? pango_layout_get_line_count(piece->layout) : 1;
  if (!piece->layout || lines <= 1) {
    result.start = piece_start;
    result.end = piece_end;
  } else {
    PangoLayoutLine* pl = pango_layout_get_line_readonly(piece->layout, at.piece_line);
    result.start = piece_start + piece->UnitOfByte(pl->start_index);
    result.end = piece_start + piece->UnitOfByte(pl->start_index + pl->length);
  }
  result.ends_paragraph = at.piece == PieceCount(at.paragraph) - 1 && at.piece_line >= lines - 1;
  if (result.ends_paragraph) result.end = doc_.ParagraphEnd(at.paragraph);
  return result;
}

TextPos TextLayout::LineOfPosition(TextPos pos) {
  pos = std::clamp<TextPos>(pos, 0, doc_.Length());
  const TextPos paragraph = doc_.ParagraphOf(pos);
  if (!Wraps()) return paragraph;
  ExtendPrefix(paragraph);
  TextPos line = line_prefix_[static_cast<std::size_t>(paragraph)];
  const int k = PieceOfPosition(paragraph, pos);
  for (int j = 0; j < k; ++j) line += PieceLines(paragraph, j);
  auto [piece_start, piece_end] = PieceRange(paragraph, k);
  auto piece = PieceOf(paragraph, k);
  if (piece->layout) {
    int piece_line = 0;
    int x = 0;
    pango_layout_index_to_line_x(piece->layout, piece->ByteOfUnit(pos - piece_start), FALSE, &piece_line, &x);
    line += std::max(0, piece_line);
  }
  return line;
}

int TextLayout::AlignOffset(int line_width) const {
  switch (align_) {
    case Align::kLeft:
      return 0;
    case Align::kCenter:
      return std::max(0, (view_width_ - line_width) / 2);
    case Align::kRight:
      return std::max(0, view_width_ - line_width - 1);
  }
  return 0;
}

int TextLayout::LineWidth(TextPos line) {
  LineAddress at = AddressOf(line);
  if (!Wraps()) return ParagraphWidth(at.paragraph);
  auto piece = PieceOf(at.paragraph, at.piece);
  if (!piece->layout) return 0;
  PangoLayoutLine* pl = pango_layout_get_line_readonly(piece->layout, at.piece_line);
  PangoRectangle logical{};
  if (pl) pango_layout_line_get_extents(pl, nullptr, &logical);
  const int width = ToPixelsUp(std::max(0, logical.width));
  widest_ = std::max(widest_, width);
  return width;
}

int TextLayout::WidestMeasuredLine() {
  if (widest_stale_) {
    widest_ = 0;
    for (int w : widths_) widest_ = std::max(widest_, w);
    widest_stale_ = false;
  }
  return widest_;
}

int TextLayout::XOfPosition(TextPos pos) {
  pos = std::clamp<TextPos>(pos, 0, doc_.Length());
  const int offset = align_ == Align::kLeft ? 0 : AlignOffset(LineWidth(LineOfPosition(pos)));
  const TextPos paragraph = doc_.ParagraphOf(pos);
  const int k = PieceOfPosition(paragraph, pos);
  std::int64_t units = 0;
  if (!Wraps()) {
    for (int j = 0; j < k; ++j) units += PieceWidth(paragraph, j);
  }
  auto [piece_start, piece_end] = PieceRange(paragraph, k);
  auto piece = PieceOf(paragraph, k);
  if (piece->layout) {
    PangoRectangle at{};
    pango_layout_index_to_pos(piece->layout, piece->ByteOfUnit(pos - piece_start), &at);
    units += at.x;
  }
  return offset + ToPixels(units);
}

TextPos TextLayout::PositionAt(TextPos line, int x) {
  LineAddress at = AddressOf(line);
  const VisualLine span = Line(line);
  const int offset = align_ == Align::kLeft ? 0 : AlignOffset(LineWidth(line));
  std::int64_t units = std::int64_t{x - offset} * PANGO_SCALE;
  if (units <= 0) return span.start;
  int k = at.piece;
  if (!Wraps()) {
    const int pieces = PieceCount(at.paragraph);
    for (k = 0; k < pieces - 1; ++k) {
      const std::int64_t width = PieceWidth(at.paragraph, k);
      if (units < width) break;
      units -= width;
    }
  }
  auto [piece_start, piece_end] = PieceRange(at.paragraph, k);
  auto piece = PieceOf(at.paragraph, k);
  if (!piece->layout) return span.start;
  PangoLayoutLine* pl = pango_layout_get_line_readonly(piece->layout, Wraps() ? at.piece_line : 0);
  int index = 0;
  int trailing = 0;
  if (pl) {
    pango_layout_line_x_to_index(pl, static_cast<int>(std::min<std::int64_t>(units, 0x7FFFFFFF)), &index, &trailing);
  }
  TextPos pos = piece_start + piece->UnitOfHit(index, trailing);
  // The end of a wrapped line is the start of the next: stay on this line.
  if (!span.ends_paragraph && pos >= span.end && span.end > span.start) pos = doc_.PreviousPosition(span.end);
  return std::clamp(pos, span.start, span.end);
}

// ---- drawing -----------------------------------------------------------------------------

void TextLayout::DrawText(cairo_t* cr, TextPos line, double left, double top, double clip_left, double clip_right) {
  LineAddress at = AddressOf(line);
  const double baseline = top + baseline_;
  const double origin = left + (align_ == Align::kLeft ? 0 : AlignOffset(LineWidth(line)));
  if (Wraps()) {
    auto piece = PieceOf(at.paragraph, at.piece);
    if (!piece->layout) return;
    PangoLayoutLine* pl = pango_layout_get_line_readonly(piece->layout, at.piece_line);
    if (!pl) return;
    cairo_move_to(cr, origin, baseline);
    pango_cairo_show_layout_line(cr, pl);
    return;
  }
  std::int64_t units = 0;
  const int pieces = PieceCount(at.paragraph);
  for (int k = 0; k < pieces; ++k) {
    const double x = origin + static_cast<double>(units) / PANGO_SCALE;
    if (x >= clip_right) break;
    const std::int64_t width = PieceWidth(at.paragraph, k);
    units += width;
    if (origin + static_cast<double>(units) / PANGO_SCALE < clip_left) continue;
    auto piece = PieceOf(at.paragraph, k);
    if (!piece->layout) continue;
    PangoLayoutLine* pl = pango_layout_get_line_readonly(piece->layout, 0);
    if (!pl) continue;
    cairo_move_to(cr, x, baseline);
    pango_cairo_show_layout_line(cr, pl);
  }
}

void TextLayout::DrawLine(cairo_t* cr, TextPos line, double left, double top, double clip_left, double clip_right,
                          const LineSelection& selection, const LineColors& colors) {
  SetSourceColor(cr, colors.text);
  DrawText(cr, line, left, top, clip_left, clip_right);
  if (!selection.visible || selection.end <= selection.start) return;

  const VisualLine span = Line(line);
  const TextPos from = std::max(selection.start, span.start);
  const TextPos to = std::min(selection.end, span.end);
  const bool break_selected = span.ends_paragraph && span.paragraph + 1 < doc_.ParagraphCount() &&
                              selection.start <= span.end && selection.end > span.end;
  if (from > to || (from == to && !break_selected)) return;
  double x0 = left + XOfPosition(from);
  double x1 = left + XOfPosition(to) + (break_selected ? break_width_ : 0);
  x0 = std::max(x0, clip_left);
  x1 = std::min(x1, clip_right);
  if (x1 <= x0) return;
  cairo_save(cr);
  cairo_rectangle(cr, x0, top, x1 - x0, line_height_);
  cairo_clip(cr);
  SetSourceColor(cr, colors.selection_back);
  cairo_paint(cr);
  SetSourceColor(cr, colors.selection_text);
  DrawText(cr, line, left, top, x0, x1);
  cairo_restore(cr);
}

}  // namespace platform::text
