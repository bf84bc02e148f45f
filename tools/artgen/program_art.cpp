// The program's skin images. Buttons hold their state cells side by side: normal,
// hover, pushed and (for four-cell skins) disabled.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "art.h"
#include "writers.h"

namespace artgen {
namespace {

enum class Cell { kNormal, kHover, kPushed, kDisabled };

struct ButtonTheme {
  Rgba top, bottom, border, text, text_shadow, glow;
};

const ButtonTheme kGold{Hex("#f6d889"), Hex("#b9862e"), Hex("#5e3f0f"), Hex("#3a2406"), Hex("#fff4cc", 0.55), Hex("#ffd36b", 0.9)};
const ButtonTheme kTeal{Hex("#43bccd"), Hex("#17687f"), Hex("#0a3341"), Hex("#ffffff"), Hex("#06222c", 0.8), Hex("#5fe6ff", 0.85)};
const ButtonTheme kCrimson{Hex("#cc5a50"), Hex("#7a2520"), Hex("#3d0f0c"), Hex("#ffffff"), Hex("#2a0705", 0.8), Hex("#ff8a74", 0.8)};
const ButtonTheme kDisabled{Hex("#50565f"), Hex("#33383f"), Hex("#1f2328"), Hex("#8b929b"), Hex("#000000", 0.0), Hex("#000000", 0.0)};

// One button cell at (x, 0) of size w x h.
void DrawButtonCell(cairo_t* cr, double x, double w, double h, const ButtonTheme& base, Cell cell,
                    const std::string& caption, double font_px) {
  const ButtonTheme& theme = cell == Cell::kDisabled ? kDisabled : base;
  const double inset = 2, radius = h >= 45 ? 7 : 5;
  const double bx = x + inset, by = inset, bw = w - 2 * inset, bh = h - 2 * inset;
  Rgba top = theme.top, bottom = theme.bottom;
  if (cell == Cell::kHover) top = Lighter(top, 0.16), bottom = Lighter(bottom, 0.12);
  if (cell == Cell::kPushed) top = Darker(theme.bottom, 0.1), bottom = Darker(theme.top, 0.18);

  cairo_save(cr);
  cairo_rectangle(cr, x, 0, w, h);
  cairo_clip(cr);
  if (cell == Cell::kHover) Glow(cr, bx, by, bw, bh, radius, theme.glow, 2);
  else if (cell != Cell::kPushed) {  // a soft drop shadow under raised cells
    RoundedRect(cr, bx, by + 1, bw, bh, radius);
    SetColor(cr, Rgba{0, 0, 0, 0.45});
    cairo_fill(cr);
  }
  RoundedRect(cr, bx, by, bw, bh, radius);
  FillVertical(cr, by, by + bh, top, bottom, true);
  SetColor(cr, theme.border);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // Gloss on the upper half and a hairline highlight under the top edge.
  if (cell != Cell::kPushed) {
    RoundedRect(cr, bx + 1, by + 1, bw - 2, bh / 2, radius - 1);
    FillVertical(cr, by + 1, by + bh / 2, Rgba{1, 1, 1, cell == Cell::kDisabled ? 0.06 : 0.22}, Rgba{1, 1, 1, 0.02});
    cairo_move_to(cr, bx + radius, by + 1.5);
    cairo_line_to(cr, bx + bw - radius, by + 1.5);
    SetColor(cr, Rgba{1, 1, 1, cell == Cell::kDisabled ? 0.12 : 0.45});
    cairo_stroke(cr);
  } else {  // pressed in: shade along the top edge
    RoundedRect(cr, bx + 1, by + 1, bw - 2, 6, radius - 1);
    FillVertical(cr, by + 1, by + 7, Rgba{0, 0, 0, 0.35}, Rgba{0, 0, 0, 0});
  }
  TextStyle style;
  style.pixel_size = font_px;
  style.bold = true;
  style.letter_spacing = font_px >= 18 ? 3 : 1.5;
  style.colour = theme.text;
  style.shadow = theme.text_shadow;
  double dy = cell == Cell::kPushed ? 1 : 0;
  CenterText(cr, caption, style, bx, by + dy, bw, bh);
  cairo_restore(cr);
}

void WriteButton(const std::string& path, int cell_w, int cell_h, int cells, const ButtonTheme& theme,
                 const std::string& caption, double font_px) {
  static constexpr std::array<Cell, 4> kOrder = {Cell::kNormal, Cell::kHover, Cell::kPushed, Cell::kDisabled};
  Surface s = NewSurface(cell_w * cells, cell_h);
  Context cr = NewContext(s);
  for (int i = 0; i < cells; ++i) DrawButtonCell(cr.get(), i * cell_w, cell_w, cell_h, theme, kOrder[i], caption, font_px);
  WritePng(s, path);
}

// Caption buttons: a light glyph on nothing; hover and pushed add a rounded plate.
void WriteCaptionButton(const std::string& path, bool close) {
  Surface s = NewSurface(90, 30);
  Context c = NewContext(s);
  cairo_t* cr = c.get();
  for (int i = 0; i < 3; ++i) {
    const double x = i * 30;
    if (i > 0) {
      RoundedRect(cr, x + 2, 2, 26, 26, 4);
      Rgba plate = close ? (i == 1 ? Hex("#d8463d", 0.95) : Hex("#a52f28", 0.95)) : Rgba{1, 1, 1, i == 1 ? 0.18 : 0.08};
      SetColor(cr, plate);
      cairo_fill(cr);
    }
    Rgba glyph = i == 0 ? Hex("#cbd6e2", 0.92) : Rgba{1, 1, 1, i == 1 ? 1.0 : 0.85};
    SetColor(cr, glyph);
    cairo_set_line_width(cr, 1.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    const double cx = x + 15, cy = 15 + (i == 2 ? 0.5 : 0);
    if (close) {
      cairo_move_to(cr, cx - 5, cy - 5);
      cairo_line_to(cr, cx + 5, cy + 5);
      cairo_move_to(cr, cx + 5, cy - 5);
      cairo_line_to(cr, cx - 5, cy + 5);
    } else {
      cairo_move_to(cr, cx - 6, cy + 4);
      cairo_line_to(cr, cx + 6, cy + 4);
    }
    cairo_stroke(cr);
  }
  WritePng(s, path);
}

// A recessed text field: dark glass with a thin steel-blue border.
void WriteField(const std::string& path, int w, int h) {
  Surface s = NewSurface(w, h);
  Context c = NewContext(s);
  cairo_t* cr = c.get();
  RoundedRect(cr, 0.5, 0.5, w - 1, h - 1, 4);
  FillVertical(cr, 0, h, Hex("#03070c", 0.9), Hex("#0a1520", 0.84), true);
  SetColor(cr, Hex("#3f6886", 0.95));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  RoundedRect(cr, 1.5, 1.5, w - 3, 5, 3);
  FillVertical(cr, 1.5, 6.5, Rgba{0, 0, 0, 0.45}, Rgba{0, 0, 0, 0});
  cairo_move_to(cr, 4, h - 1.5);
  cairo_line_to(cr, w - 4, h - 1.5);
  SetColor(cr, Hex("#7fb6d9", 0.25));
  cairo_stroke(cr);
  WritePng(s, path);
}

// Gold corner brackets, the ornament of the dialogs' frames.
void CornerOrnaments(cairo_t* cr, double w, double h, double top) {
  SetColor(cr, Hex("#d9b56a", 0.85));
  cairo_set_line_width(cr, 1.5);
  const double l = 12, m = 4.5;
  auto corner = [&](double x, double y, double sx, double sy) {
    cairo_move_to(cr, x + sx * l, y);
    cairo_line_to(cr, x, y);
    cairo_line_to(cr, x, y + sy * l);
    cairo_stroke(cr);
  };
  corner(m, top + m, 1, 1);
  corner(w - m, top + m, -1, 1);
  corner(m, h - m, 1, -1);
  corner(w - m, h - m, -1, -1);
}

// The dialogs' background: a night-blue panel, a caption strip with the title, a
// gold frame; `success` adds a gold check medallion above the text.
void WriteDialogBackground(const std::string& path, int w, int h, bool success) {
  Surface s = NewSurface(w, h);
  Context c = NewContext(s);
  cairo_t* cr = c.get();
  cairo_rectangle(cr, 0, 0, w, h);
  FillVertical(cr, 0, h, Hex("#16324c"), Hex("#0a1725"));
  // A soft light from the upper middle.
  cairo_pattern_t* light = cairo_pattern_create_radial(w / 2.0, 32, 10, w / 2.0, 32, w * 0.6);
  cairo_pattern_add_color_stop_rgba(light, 0, 0.45, 0.65, 0.85, 0.22);
  cairo_pattern_add_color_stop_rgba(light, 1, 0.45, 0.65, 0.85, 0);
  cairo_set_source(cr, light);
  cairo_paint(cr);
  cairo_pattern_destroy(light);
  // Faint emblem watermark at the right.
  cairo_push_group(cr);
  DrawEmblem(cr, w - 70, h / 2.0 + 14, 58);
  cairo_pop_group_to_source(cr);
  cairo_paint_with_alpha(cr, 0.07);
  // Caption strip.
  cairo_rectangle(cr, 0, 0, w, 32);
  FillVertical(cr, 0, 32, Hex("#070f18"), Hex("#0c1824"));
  cairo_move_to(cr, 0, 32.5);
  cairo_line_to(cr, w, 32.5);
  SetColor(cr, Hex("#c9a45c", 0.6));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  TextStyle title;
  title.pixel_size = 14;
  title.bold = true;
  title.letter_spacing = 1;
  title.colour = Hex("#e2c27e");
  title.shadow = Rgba{0, 0, 0, 0.7};
  CenterText(cr, "Velmora", title, 12, 0, 64, 32);
  if (success) {
    const double cx = w / 2.0, cy = 52, r = 14;
    Glow(cr, cx - r, cy - r, 2 * r, 2 * r, r, Hex("#ffd36b", 0.5), 4);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    FillVertical(cr, cy - r, cy + r, Hex("#f6d889"), Hex("#b5822b"));
    SetColor(cr, Hex("#2d1c05"));
    cairo_set_line_width(cr, 2.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, cx - 6.5, cy + 0.5);
    cairo_line_to(cr, cx - 1.5, cy + 5.5);
    cairo_line_to(cr, cx + 7, cy - 5);
    cairo_stroke(cr);
  }
  // Frame.
  cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
  SetColor(cr, Hex("#c9a45c", 0.75));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  CornerOrnaments(cr, w, h, 32);
  WritePng(s, path);
}

}  // namespace

void DrawProgramImages(const std::string& dir) {
  // The main window's four-cell buttons, and the older three-cell set kept in the package.
  WriteButton(dir + "/start4_872x49.png", 218, 49, 4, kGold, "开始安装", 19);
  WriteButton(dir + "/stop4_872x49.png", 218, 49, 4, kTeal, "停止下载", 19);
  WriteButton(dir + "/quit4_872x49.png", 218, 49, 4, kCrimson, "退出工具", 19);
  WriteButton(dir + "/start3_654x49.png", 218, 49, 3, kGold, "开始安装", 19);
  WriteButton(dir + "/stop3_654x49.png", 218, 49, 3, kTeal, "停止下载", 19);
  WriteButton(dir + "/quit3_654x49.png", 218, 49, 3, kCrimson, "退出工具", 19);
  WriteButton(dir + "/browse4_332x39.png", 83, 39, 4, kTeal, "浏览", 15);
  WriteButton(dir + "/browse3_249x39.png", 83, 39, 3, kTeal, "浏览", 15);
  // Dialog buttons.
  WriteButton(dir + "/dialog_retry_261x39.png", 87, 39, 3, kGold, "重试", 15);
  WriteButton(dir + "/dialog_close_261x39.png", 87, 39, 3, kCrimson, "关闭", 15);
  WriteButton(dir + "/dialog_enter_game_261x39.png", 87, 39, 3, kGold, "进入游戏", 15);
  // The folder dialog's buttons (used when the desktop has no folder picker).
  WriteButton(dir + "/dialog_ok_261x39.png", 87, 39, 3, kGold, "确定", 15);
  WriteButton(dir + "/dialog_cancel_261x39.png", 87, 39, 3, kCrimson, "取消", 15);
  // Caption buttons.
  WriteCaptionButton(dir + "/caption_close_90x30.png", true);
  WriteCaptionButton(dir + "/caption_minimize_90x30.png", false);
  // Text fields.
  WriteField(dir + "/dir_field_281x37.png", 281, 37);
  WriteField(dir + "/status_field_511x67.png", 511, 67);
  // Dialog backgrounds.
  WriteDialogBackground(dir + "/dialog_large_530x203.png", 530, 203, false);
  WriteDialogBackground(dir + "/dialog_small_380x183.png", 380, 183, true);
  // The small emblem.
  Surface icon = NewSurface(21, 21);
  Context c = NewContext(icon);
  DrawEmblem(c.get(), 10.5, 10.5, 10);
  WritePng(icon, dir + "/icon_21x21.png");
}

}  // namespace artgen
