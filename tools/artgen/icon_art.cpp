// The Velmora emblem and the program icon file.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "art.h"
#include "writers.h"

namespace artgen {
namespace {

void GoldSource(cairo_t* cr, double y0, double y1) {
  cairo_pattern_t* gold = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(gold, 0.0, 1.0, 0.95, 0.76);
  cairo_pattern_add_color_stop_rgb(gold, 0.45, 0.89, 0.69, 0.30);
  cairo_pattern_add_color_stop_rgb(gold, 1.0, 0.60, 0.39, 0.11);
  cairo_set_source(cr, gold);
  cairo_pattern_destroy(gold);
}

// The "V": two tapering blades meeting at the bottom, as one closed path.
void VPath(cairo_t* cr, double cx, double cy, double r, double weight) {
  const double top = cy - 0.52 * r, bottom = cy + 0.6 * r, half = 0.62 * r, w = weight * r;
  cairo_move_to(cr, cx - half - w * 0.55, top);
  cairo_line_to(cr, cx - half + w, top);
  cairo_line_to(cr, cx, bottom - 1.25 * w * 1.6);
  cairo_line_to(cr, cx + half - w, top);
  cairo_line_to(cr, cx + half + w * 0.55, top);
  cairo_line_to(cr, cx, bottom);
  cairo_close_path(cr);
}

}  // namespace

void DrawEmblem(cairo_t* cr, double cx, double cy, double radius) {
  const bool small = radius < 14;
  cairo_save(cr);
  // Medallion.
  cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
  GoldSource(cr, cy - radius, cy + radius);
  cairo_fill(cr);
  const double ring = small ? std::max(1.0, radius * 0.13) : radius * 0.09;
  cairo_arc(cr, cx, cy, radius - ring, 0, 2 * M_PI);
  cairo_pattern_t* night = cairo_pattern_create_radial(cx, cy - radius * 0.35, radius * 0.1, cx, cy, radius);
  cairo_pattern_add_color_stop_rgb(night, 0, 0.16, 0.38, 0.62);
  cairo_pattern_add_color_stop_rgb(night, 1, 0.03, 0.09, 0.17);
  cairo_set_source(cr, night);
  cairo_fill(cr);
  cairo_pattern_destroy(night);
  if (!small) {
    // A fine inner ring and a star above the V.
    cairo_arc(cr, cx, cy, radius - ring * 2.2, 0, 2 * M_PI);
    SetColor(cr, Hex("#d9b56a", 0.45));
    cairo_set_line_width(cr, std::max(0.8, radius * 0.025));
    cairo_stroke(cr);
    const double sy = cy - 0.7 * radius, s = radius * 0.11;
    cairo_move_to(cr, cx, sy - s);
    cairo_line_to(cr, cx + s * 0.35, sy);
    cairo_line_to(cr, cx, sy + s);
    cairo_line_to(cr, cx - s * 0.35, sy);
    cairo_close_path(cr);
    GoldSource(cr, sy - s, sy + s);
    cairo_fill(cr);
  }
  VPath(cr, cx, cy + (small ? 0.02 * radius : 0.05 * radius), radius, small ? 0.2 : 0.15);
  GoldSource(cr, cy - 0.5 * radius, cy + 0.6 * radius);
  cairo_fill_preserve(cr);
  if (!small) {
    SetColor(cr, Hex("#2a1804", 0.8));
    cairo_set_line_width(cr, std::max(0.8, radius * 0.02));
    cairo_stroke(cr);
  } else {
    cairo_new_path(cr);
  }
  cairo_restore(cr);
}

// The program icon: an icon file with every size a desktop asks for (256 as PNG, the
// others as bitmaps; 48, 32 and 16 also in 8 and 4 bits), and the same sizes as the
// PNG files of the desktop's icon theme (hicolor/<size>x<size>/apps/krdn-repair.png).
void DrawProgramIcon(const std::string& dir) {
  constexpr int kSizes[] = {256, 128, 64, 48, 32, 16};
  std::vector<Surface> sizes;
  for (int size : kSizes) {
    Surface s = NewSurface(size, size);
    Context cr = NewContext(s);
    DrawEmblem(cr.get(), size / 2.0, size / 2.0, size / 2.0 - (size >= 32 ? 1 : 0.5));
    sizes.push_back(std::move(s));
  }
  std::vector<IconImage> images = {{&sizes[0], 0}, {&sizes[1], 32}, {&sizes[2], 32}};
  for (int bits : {32, 8, 4})
    for (std::size_t i = 3; i < sizes.size(); ++i) images.push_back({&sizes[i], bits});
  WriteIcon(images, dir + "/logo.ico");
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::string side = std::to_string(kSizes[i]);
    const std::string folder = dir + "/hicolor/" + side + "x" + side + "/apps";
    std::filesystem::create_directories(folder);
    WritePng(sizes[i], folder + "/krdn-repair.png");
  }
}

}  // namespace artgen
