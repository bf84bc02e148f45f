// The main window's background (1030 x 541): a moonlit mountain valley with a castle,
// the title, a caption strip, and a dark panel behind the controls. The controls sit
// at fixed places, so the panel, labels and lines are drawn to fit them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "art.h"
#include "writers.h"

namespace artgen {
namespace {

constexpr int kWidth = 1030, kHeight = 541;
constexpr double kMoonX = 884, kMoonY = 96;

void Sky(cairo_t* cr) {
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, kHeight);
  cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.02, 0.04, 0.09);
  cairo_pattern_add_color_stop_rgb(sky, 0.35, 0.07, 0.16, 0.28);
  cairo_pattern_add_color_stop_rgb(sky, 0.62, 0.11, 0.22, 0.34);
  cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.03, 0.06, 0.10);
  cairo_set_source(cr, sky);
  cairo_paint(cr);
  cairo_pattern_destroy(sky);
  cairo_pattern_t* glow = cairo_pattern_create_radial(kMoonX, kMoonY, 20, kMoonX, kMoonY, 330);
  cairo_pattern_add_color_stop_rgba(glow, 0, 0.55, 0.72, 0.92, 0.45);
  cairo_pattern_add_color_stop_rgba(glow, 0.4, 0.30, 0.48, 0.72, 0.16);
  cairo_pattern_add_color_stop_rgba(glow, 1, 0.2, 0.3, 0.5, 0);
  cairo_set_source(cr, glow);
  cairo_paint(cr);
  cairo_pattern_destroy(glow);
}

void Stars(cairo_t* cr) {
  Random rnd(20260101);
  for (int i = 0; i < 260; ++i) {
    double x = rnd.Range(0, kWidth), y = rnd.Range(34, 320), r = rnd.Range(0.35, 1.25), a = rnd.Range(0.25, 0.9);
    if (std::hypot(x - kMoonX, y - kMoonY) < 70) continue;
    a *= std::clamp((320 - y) / 160.0, 0.2, 1.0);
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    SetColor(cr, Rgba{0.85, 0.9, 1.0, a});
    cairo_fill(cr);
    if (r > 1.1) {  // a few bright ones twinkle
      SetColor(cr, Rgba{0.85, 0.9, 1.0, a * 0.35});
      cairo_set_line_width(cr, 0.6);
      cairo_move_to(cr, x - 4, y);
      cairo_line_to(cr, x + 4, y);
      cairo_move_to(cr, x, y - 4);
      cairo_line_to(cr, x, y + 4);
      cairo_stroke(cr);
    }
  }
}

void Moon(cairo_t* cr) {
  const double r = 36;
  Glow(cr, kMoonX - r, kMoonY - r, 2 * r, 2 * r, r, Rgba{0.95, 0.92, 0.8, 0.18}, 14);
  cairo_arc(cr, kMoonX, kMoonY, r, 0, 2 * M_PI);
  cairo_pattern_t* face = cairo_pattern_create_radial(kMoonX - 10, kMoonY - 12, 4, kMoonX, kMoonY, r);
  cairo_pattern_add_color_stop_rgb(face, 0, 1.0, 0.98, 0.9);
  cairo_pattern_add_color_stop_rgb(face, 1, 0.86, 0.82, 0.68);
  cairo_set_source(cr, face);
  cairo_fill(cr);
  cairo_pattern_destroy(face);
  Random rnd(77);
  for (int i = 0; i < 7; ++i) {  // maria
    double a = rnd.Range(0, 2 * M_PI), d = rnd.Range(4, 24), s = rnd.Range(3, 8);
    cairo_arc(cr, kMoonX + std::cos(a) * d, kMoonY + std::sin(a) * d, s, 0, 2 * M_PI);
    SetColor(cr, Rgba{0.62, 0.6, 0.52, 0.18});
    cairo_fill(cr);
  }
}

// A ridge line by midpoint displacement between two heights.
std::vector<double> Ridge(std::uint32_t seed, double left, double right, double roughness, int levels) {
  std::vector<double> h = {left, right};
  Random rnd(seed);
  double amplitude = roughness;
  for (int level = 0; level < levels; ++level) {
    std::vector<double> next;
    for (std::size_t i = 0; i + 1 < h.size(); ++i) {
      next.push_back(h[i]);
      next.push_back((h[i] + h[i + 1]) / 2 + rnd.Range(-amplitude, amplitude));
    }
    next.push_back(h.back());
    h = std::move(next);
    amplitude *= 0.55;
  }
  return h;
}

void Mountains(cairo_t* cr, std::uint32_t seed, double left, double right, double roughness, Rgba top, Rgba bottom,
               double bottom_y) {
  std::vector<double> ridge = Ridge(seed, left, right, roughness, 8);
  const double step = static_cast<double>(kWidth + 20) / static_cast<double>(ridge.size() - 1);
  cairo_move_to(cr, -10, bottom_y);
  for (std::size_t i = 0; i < ridge.size(); ++i) cairo_line_to(cr, -10 + step * static_cast<double>(i), ridge[i]);
  cairo_line_to(cr, kWidth + 10, bottom_y);
  cairo_close_path(cr);
  FillVertical(cr, std::min(left, right) - roughness, bottom_y, top, bottom);
}

void Mist(cairo_t* cr, double y, double height, double alpha) {
  cairo_rectangle(cr, 0, y - height, kWidth, 2 * height);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y - height, 0, y + height);
  cairo_pattern_add_color_stop_rgba(p, 0, 0.7, 0.8, 0.9, 0);
  cairo_pattern_add_color_stop_rgba(p, 0.5, 0.7, 0.8, 0.9, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, 0.7, 0.8, 0.9, 0);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A castle on a crag: keep, towers with spires, a few lit windows.
void Castle(cairo_t* cr, double x, double base) {
  const Rgba stone = Hex("#0b1724");
  struct Tower {
    double dx, w, h, spire;
  };
  const Tower towers[] = {{-58, 16, 70, 26}, {-34, 22, 96, 34}, {-8, 30, 124, 44}, {26, 20, 88, 30}, {50, 14, 60, 22}};
  // The crag it stands on.
  cairo_move_to(cr, x - 120, base + 40);
  cairo_curve_to(cr, x - 95, base + 10, x - 88, base - 2, x - 74, base - 4);
  cairo_line_to(cr, x + 72, base - 4);
  cairo_curve_to(cr, x + 88, base, x + 100, base + 18, x + 130, base + 44);
  cairo_close_path(cr);
  FillVertical(cr, base - 4, base + 44, Hex("#0e1e30"), Hex("#0b1827"));
  SetColor(cr, stone);
  cairo_rectangle(cr, x - 66, base - 46, 130, 46);  // curtain wall
  cairo_fill(cr);
  for (int i = 0; i < 13; ++i) {  // crenels
    cairo_rectangle(cr, x - 66 + i * 10, base - 51, 6, 6);
    cairo_fill(cr);
  }
  for (const Tower& t : towers) {
    double left = x + t.dx;
    cairo_rectangle(cr, left, base - t.h, t.w, t.h);
    cairo_fill(cr);
    cairo_move_to(cr, left - 2, base - t.h);
    cairo_line_to(cr, left + t.w / 2, base - t.h - t.spire);
    cairo_line_to(cr, left + t.w + 2, base - t.h);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  Random rnd(4242);
  for (const Tower& t : towers) {
    for (int k = 0; k < 2; ++k) {
      double wx = x + t.dx + t.w / 2 - 1.5, wy = base - t.h + 14 + k * rnd.Range(18, 30);
      if (wy > base - 8) continue;
      Glow(cr, wx, wy, 3, 5, 1, Hex("#ffc766", 0.35), 3);
      cairo_rectangle(cr, wx, wy, 3, 5);
      SetColor(cr, Hex("#ffd27a", 0.95));
      cairo_fill(cr);
      SetColor(cr, stone);
    }
  }
}

void Title(cairo_t* cr) {
  TextStyle logo;
  logo.family = "DejaVu Serif";
  logo.pixel_size = 66;
  logo.bold = true;
  logo.letter_spacing = 12;
  const std::string text = "VELMORA";
  double w = 0, h = 0;
  MeasureText(cr, text, logo, &w, &h);
  const double x = std::round((kWidth - w) / 2 + 6), y = 92;
  // Glow: the outline stroked wide and faint several times.
  for (int i = 6; i >= 1; --i) {
    TextPath(cr, text, logo, x, y);
    SetColor(cr, Rgba{1.0, 0.78, 0.35, 0.045});
    cairo_set_line_width(cr, i * 3.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
  }
  TextPath(cr, text, logo, x, y + 3);  // drop shadow
  SetColor(cr, Rgba{0, 0, 0, 0.55});
  cairo_fill(cr);
  TextPath(cr, text, logo, x, y);
  cairo_pattern_t* gold = cairo_pattern_create_linear(0, y + 10, 0, y + h - 10);
  cairo_pattern_add_color_stop_rgb(gold, 0.0, 1.0, 0.96, 0.80);
  cairo_pattern_add_color_stop_rgb(gold, 0.48, 0.93, 0.74, 0.36);
  cairo_pattern_add_color_stop_rgb(gold, 0.52, 0.80, 0.57, 0.20);
  cairo_pattern_add_color_stop_rgb(gold, 1.0, 0.98, 0.82, 0.45);
  cairo_set_source(cr, gold);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(gold);
  SetColor(cr, Hex("#3a2404", 0.9));
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);

  // Subtitle between two gold rules with diamonds.
  TextStyle sub;
  sub.pixel_size = 19;
  sub.letter_spacing = 8;
  sub.colour = Hex("#dce5ef");
  sub.shadow = Rgba{0, 0, 0, 0.7};
  const std::string subtitle = "客户端下载与修复工具";
  double sw = 0, sh = 0;
  MeasureText(cr, subtitle, sub, &sw, &sh);
  const double sy = y + h + 6, sx = std::round((kWidth - sw) / 2 + 4);
  PlaceText(cr, subtitle, sub, sx, sy);
  const double line_y = std::round(sy + sh / 2) + 0.5;
  cairo_set_line_width(cr, 1);
  for (int side = -1; side <= 1; side += 2) {
    const double inner = side < 0 ? sx - 18 : sx + sw + 10, outer = inner + side * 120;
    cairo_pattern_t* rule = cairo_pattern_create_linear(inner, 0, outer, 0);
    cairo_pattern_add_color_stop_rgba(rule, 0, 0.85, 0.7, 0.4, 0.9);
    cairo_pattern_add_color_stop_rgba(rule, 1, 0.85, 0.7, 0.4, 0);
    cairo_set_source(cr, rule);
    cairo_move_to(cr, inner, line_y);
    cairo_line_to(cr, outer, line_y);
    cairo_stroke(cr);
    cairo_pattern_destroy(rule);
    const double d = inner + side * 4;
    cairo_move_to(cr, d, line_y - 4);
    cairo_line_to(cr, d + 4, line_y);
    cairo_line_to(cr, d, line_y + 4);
    cairo_line_to(cr, d - 4, line_y);
    cairo_close_path(cr);
    SetColor(cr, Hex("#e2c27e"));
    cairo_fill(cr);
  }
}

void CaptionStrip(cairo_t* cr) {
  cairo_rectangle(cr, 0, 0, kWidth, 32);
  FillVertical(cr, 0, 32, Hex("#04080e", 0.94), Hex("#0a121c", 0.88));
  cairo_move_to(cr, 0, 32.5);
  cairo_line_to(cr, kWidth, 32.5);
  cairo_pattern_t* rule = cairo_pattern_create_linear(0, 0, kWidth, 0);
  cairo_pattern_add_color_stop_rgba(rule, 0, 0.79, 0.64, 0.36, 0.15);
  cairo_pattern_add_color_stop_rgba(rule, 0.5, 0.79, 0.64, 0.36, 0.8);
  cairo_pattern_add_color_stop_rgba(rule, 1, 0.79, 0.64, 0.36, 0.15);
  cairo_set_source(cr, rule);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_pattern_destroy(rule);
  TextStyle title;
  title.pixel_size = 14;
  title.colour = Hex("#e0c587");
  title.shadow = Rgba{0, 0, 0, 0.8};
  CenterText(cr, "Velmora  客户端下载工具", title, 34, 0, 170, 32);
}

void Label(cairo_t* cr, const std::string& text, double x, double y) {
  cairo_move_to(cr, x + 3, y + 4);
  cairo_line_to(cr, x + 7, y + 8);
  cairo_line_to(cr, x + 3, y + 12);
  cairo_line_to(cr, x - 1, y + 8);
  cairo_close_path(cr);
  SetColor(cr, Hex("#d9b56a"));
  cairo_fill(cr);
  TextStyle style;
  style.pixel_size = 14;
  style.letter_spacing = 2;
  style.colour = Hex("#a9bfd4");
  style.shadow = Rgba{0, 0, 0, 0.8};
  PlaceText(cr, text, style, x + 13, y - 1);
}

// The dark glass panel behind the controls (directory, browse, status and buttons).
void ControlPanel(cairo_t* cr) {
  cairo_rectangle(cr, 0, 300, kWidth, kHeight - 300);
  FillVertical(cr, 300, 345, Rgba{0.01, 0.03, 0.06, 0}, Rgba{0.01, 0.03, 0.06, 0.55});
  cairo_rectangle(cr, 0, 345, kWidth, kHeight - 345);
  SetColor(cr, Rgba{0.01, 0.03, 0.06, 0.55});
  cairo_fill(cr);
  RoundedRect(cr, 24.5, 334.5, kWidth - 49, 112, 8);
  SetColor(cr, Rgba{0.02, 0.05, 0.09, 0.62});
  cairo_fill_preserve(cr);
  SetColor(cr, Hex("#c9a45c", 0.38));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  Label(cr, "安装目录", 46, 370);
  Label(cr, "安装信息", 472, 340);
  // A divider between the two halves.
  cairo_pattern_t* rule = cairo_pattern_create_linear(0, 348, 0, 434);
  cairo_pattern_add_color_stop_rgba(rule, 0, 0.79, 0.64, 0.36, 0);
  cairo_pattern_add_color_stop_rgba(rule, 0.5, 0.79, 0.64, 0.36, 0.45);
  cairo_pattern_add_color_stop_rgba(rule, 1, 0.79, 0.64, 0.36, 0);
  cairo_set_source(cr, rule);
  cairo_move_to(cr, 443.5, 348);
  cairo_line_to(cr, 443.5, 434);
  cairo_stroke(cr);
  cairo_pattern_destroy(rule);
  TextStyle foot;
  foot.pixel_size = 11;
  foot.colour = Hex("#5f7489");
  PlaceText(cr, "版本 1.0.0.1", foot, 944, 511);
  PlaceText(cr, "© Velmora", foot, 30, 511);
}

}  // namespace

void DrawBackdrop(const std::string& dir) {
  Surface s = NewSurface(kWidth, kHeight, false);
  Context c = NewContext(s);
  cairo_t* cr = c.get();
  Sky(cr);
  Stars(cr);
  Moon(cr);
  Mountains(cr, 11, 250, 205, 70, Hex("#24466a"), Hex("#152a40"), kHeight);
  Mist(cr, 262, 26, 0.10);
  Mountains(cr, 23, 300, 262, 64, Hex("#142b43"), Hex("#0d1c2c"), kHeight);
  Castle(cr, 236, 285);
  Mist(cr, 300, 22, 0.09);
  Mountains(cr, 37, 330, 310, 36, Hex("#0a1522"), Hex("#060d16"), kHeight);
  Title(cr);
  CaptionStrip(cr);
  ControlPanel(cr);
  WriteJpeg(s, dir + "/background_1030x541.jpg", 92);
}

}  // namespace artgen
