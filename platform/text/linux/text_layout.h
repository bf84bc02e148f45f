// How the text of an edit box lies on screen: visual lines, x positions, hit testing
// and drawing, with pango.
//
// All lines are one font, so every line has the same height and the vertical position
// of a line is its number times that height. Without word wrap a line is a paragraph;
// with it, a paragraph breaks into as many lines as pango makes of it at the wrap
// width. Pango lays out only what is asked for: the lines being drawn, the line of the
// caret, a line that is hit. A paragraph longer than kPieceLength is laid out in pieces
// of that length side by side, so a line of a million characters never becomes one
// pango layout; with word wrap each piece starts a new line. Widths and layouts are
// cached; appending at the end touches only the new paragraphs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/text/linux/text_document.h"
#include "platform/base/win_types.h"

typedef struct _cairo cairo_t;
typedef struct _PangoContext PangoContext;
typedef struct _PangoFontMap PangoFontMap;
typedef struct _PangoFontDescription PangoFontDescription;
typedef struct _PangoAttrList PangoAttrList;
typedef struct _PangoTabArray PangoTabArray;

namespace platform::text {

inline constexpr TextPos kPieceLength = 1024;

struct FontSpec {
  std::u16string face;  // empty: the default sans-serif face
  double pixel_size = 12;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
};

enum class Align { kLeft, kCenter, kRight };

struct VisualLine {
  TextPos paragraph = 0;
  TextPos start = 0;  // first position of the line
  TextPos end = 0;    // the position after its last character (before a break)
  bool ends_paragraph = true;
};

struct LineColors {
  COLORREF text = 0;
  COLORREF selection_back = 0;
  COLORREF selection_text = 0;
};

// What DrawLine shows selected: [start, end) and whether the break after the line is
// part of it.
struct LineSelection {
  TextPos start = 0;
  TextPos end = 0;
  bool visible = false;
};

class TextLayout {
 public:
  explicit TextLayout(const TextDocument& document);
  ~TextLayout();
  TextLayout(const TextLayout&) = delete;
  TextLayout& operator=(const TextLayout&) = delete;

  // ---- settings (each drops what depends on it) ------------------------------------
  void SetFont(const FontSpec& font);
  void SetWrapWidth(int width);  // <= 0: no wrapping
  void SetPasswordChar(char16_t ch);  // 0: the text itself
  void SetTabStop(int pixels);
  void SetAlignment(Align align, int view_width);
  bool Wraps() const { return wrap_width_ > 0; }

  // Must follow every replacement in the document.
  void ParagraphsChanged(const ParagraphSplice& splice);
  // Forgets everything measured (after a failed change, to stay in step with the text).
  void Reset() { ResetMeasures(); }

  // ---- geometry ----------------------------------------------------------------------
  int LineHeight() const { return line_height_; }
  int Baseline() const { return baseline_; }
  // A small width that stands for a selected break at the end of a line.
  int BreakWidth() const { return break_width_; }
  TextPos LineCount();
  VisualLine Line(TextPos line);
  TextPos LineOfPosition(TextPos pos);
  // x of a position on its line; 0 is the left edge of the text area, alignment
  // included.
  int XOfPosition(TextPos pos);
  // The position on a line nearest to x.
  TextPos PositionAt(TextPos line, int x);
  int LineWidth(TextPos line);
  // The widest line measured so far (lines are measured when drawn or visited).
  int WidestMeasuredLine();

  // Draws one line: `left` is the x of the text area's left edge (scrolling applied),
  // `top` the line's top; only what lies within [clip_left, clip_right) is laid out.
  void DrawLine(cairo_t* cr, TextPos line, double left, double top, double clip_left, double clip_right,
                const LineSelection& selection, const LineColors& colors);

 private:
  struct Piece;
  struct LongParagraph {
    std::vector<TextPos> bounds;        // piece starts relative to the paragraph, then its length
    std::vector<std::int64_t> widths;   // pango units, -1 until measured
    std::vector<int> line_counts;       // with wrapping: lines per piece, 0 until measured
    bool complete = false;              // false: pieces after the last bound are still to find
  };
  void FindPieces(LongParagraph& data, TextPos start, TextPos length);
  // An edit inside a long paragraph keeps what is known of the pieces before it.
  bool KeepPiecesBefore(const ParagraphSplice& splice);

  void DropLayouts();
  void ResetMeasures();
  std::shared_ptr<Piece> PieceOf(TextPos paragraph, int piece);
  std::shared_ptr<Piece> MakePiece(TextPos paragraph, int piece);
  int PieceCount(TextPos paragraph);
  // [start, end) of a piece, absolute positions.
  std::pair<TextPos, TextPos> PieceRange(TextPos paragraph, int piece);
  int PieceOfPosition(TextPos paragraph, TextPos pos);
  LongParagraph* LongOf(TextPos paragraph);
  std::int64_t PieceWidth(TextPos paragraph, int piece);
  int PieceLines(TextPos paragraph, int piece);
  int ParagraphLines(TextPos paragraph);
  int ParagraphWidth(TextPos paragraph);
  void ExtendPrefix(TextPos paragraph_count);
  // The paragraph holding a visual line, and the line's piece and pango line.
  struct LineAddress {
    TextPos paragraph = 0;
    int piece = 0;
    int piece_line = 0;
  };
  LineAddress AddressOf(TextPos line);
  int AlignOffset(int line_width) const;
  void DrawText(cairo_t* cr, TextPos line, double left, double top, double clip_left, double clip_right);

  const TextDocument& doc_;
  PangoFontMap* font_map_ = nullptr;
  PangoContext* context_ = nullptr;
  PangoFontDescription* font_ = nullptr;
  PangoAttrList* attrs_ = nullptr;
  PangoTabArray* tabs_ = nullptr;
  int line_height_ = 16;
  int baseline_ = 12;
  int break_width_ = 4;
  int tab_stop_ = 48;
  int wrap_width_ = 0;
  char16_t password_ = 0;
  Align align_ = Align::kLeft;
  int view_width_ = 0;

  // Per paragraph: its width in pixels without wrapping (-1 until measured), and with
  // wrapping its line count (0 until measured) with the running total before it.
  std::vector<int> widths_;
  std::vector<int> line_counts_;
  std::vector<TextPos> line_prefix_;
  TextPos prefix_valid_ = 0;  // line_prefix_[0..prefix_valid_] are right
  std::unordered_map<TextPos, LongParagraph> long_;
  int widest_ = 0;
  bool widest_stale_ = false;

  std::vector<std::shared_ptr<Piece>> cache_;
  std::uint64_t clock_ = 0;
};

}  // namespace platform::text
