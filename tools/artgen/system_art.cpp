// The toolkit's system images: a light, quiet widget set (check boxes, radio buttons,
// scroll bars, caption buttons, menus, tabs, trees, progress bars, the icon strip).
// Cells lie side by side unless the skin stacks them.
#include <array>
#include <cmath>
#include <functional>
#include <string>

#include "art.h"
#include "writers.h"

namespace artgen {
namespace {

// Face colours of a control part by state: normal, hover, pushed, disabled.
struct Face {
  Rgba top, bottom, border, glyph;
};
Face FaceOf(int state) {
  switch (state) {
    case 1: return {Hex("#f5faff"), Hex("#d5e7fb"), Hex("#5b8fc7"), Hex("#1f4f82")};
    case 2: return {Hex("#c3dcf7"), Hex("#dbecfd"), Hex("#3f77b3"), Hex("#173e69")};
    case 3: return {Hex("#f3f3f3"), Hex("#e8e8e8"), Hex("#c3c3c3"), Hex("#a9a9a9")};
    default: return {Hex("#fcfdfe"), Hex("#e2e9f2"), Hex("#8fa3ba"), Hex("#2f4a66")};
  }
}

using CellPainter = std::function<void(cairo_t*, double x, double y, double w, double h, int index)>;

// Draws `cells` cells of w x h, side by side (or stacked), each clipped to its box.
void WriteStrip(const std::string& path, int w, int h, int cells, bool vertical, bool alpha, const CellPainter& paint) {
  Surface s = NewSurface(vertical ? w : w * cells, vertical ? h * cells : h, alpha);
  Context c = NewContext(s);
  cairo_t* cr = c.get();
  if (!alpha) {
    SetColor(cr, Hex("#ffffff"));
    cairo_paint(cr);
  }
  for (int i = 0; i < cells; ++i) {
    const double x = vertical ? 0 : i * w, y = vertical ? i * h : 0;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    paint(cr, x, y, w, h, i);
    cairo_restore(cr);
  }
  WritePng(s, path);
}

void FacePlate(cairo_t* cr, double x, double y, double w, double h, double r, const Face& f) {
  RoundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, r);
  FillVertical(cr, y, y + h, f.top, f.bottom, true);
  SetColor(cr, f.border);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void Triangle(cairo_t* cr, double cx, double cy, double size, int direction /*0 up 1 down 2 left 3 right*/) {
  const double s = size / 2;
  switch (direction) {
    case 0: cairo_move_to(cr, cx - s, cy + s / 2); cairo_line_to(cr, cx + s, cy + s / 2); cairo_line_to(cr, cx, cy - s / 2); break;
    case 1: cairo_move_to(cr, cx - s, cy - s / 2); cairo_line_to(cr, cx + s, cy - s / 2); cairo_line_to(cr, cx, cy + s / 2); break;
    case 2: cairo_move_to(cr, cx + s / 2, cy - s); cairo_line_to(cr, cx + s / 2, cy + s); cairo_line_to(cr, cx - s / 2, cy); break;
    default: cairo_move_to(cr, cx - s / 2, cy - s); cairo_line_to(cr, cx - s / 2, cy + s); cairo_line_to(cr, cx + s / 2, cy); break;
  }
  cairo_close_path(cr);
  cairo_fill(cr);
}

void CheckMark(cairo_t* cr, double x, double y, double size, Rgba colour, double width) {
  SetColor(cr, colour);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_move_to(cr, x + size * 0.2, y + size * 0.52);
  cairo_line_to(cr, x + size * 0.42, y + size * 0.74);
  cairo_line_to(cr, x + size * 0.8, y + size * 0.28);
  cairo_stroke(cr);
}

void Stroke(cairo_t* cr, Rgba c, double width) {
  SetColor(cr, c);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void DrawIcon(cairo_t* cr, double x, double y, int index) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  const Rgba ink = Hex("#34506e"), paper = Hex("#ffffff"), blue = Hex("#2d7bd0");
  auto page = [&](double px, double py, double pw, double ph) {
    cairo_rectangle(cr, px + 0.5, py + 0.5, pw, ph);
    SetColor(cr, paper);
    cairo_fill_preserve(cr);
    Stroke(cr, ink, 1);
  };
  switch (index) {
    case 0:  // new
      page(x + 3, y + 1, 9, 13);
      cairo_move_to(cr, x + 5.5, y + 5.5), cairo_line_to(cr, x + 10.5, y + 5.5);
      cairo_move_to(cr, x + 5.5, y + 8.5), cairo_line_to(cr, x + 10.5, y + 8.5);
      Stroke(cr, Hex("#8aa0b8"), 1);
      break;
    case 1:  // open
      cairo_rectangle(cr, x + 1.5, y + 4.5, 13, 9);
      SetColor(cr, Hex("#f2c75c"));
      cairo_fill_preserve(cr);
      Stroke(cr, Hex("#a37a1c"), 1);
      cairo_rectangle(cr, x + 1.5, y + 2.5, 5, 2);
      Stroke(cr, Hex("#a37a1c"), 1);
      break;
    case 2:  // save
      cairo_rectangle(cr, x + 2.5, y + 2.5, 11, 11);
      SetColor(cr, blue);
      cairo_fill_preserve(cr);
      Stroke(cr, Hex("#1d4f86"), 1);
      cairo_rectangle(cr, x + 5, y + 3, 6, 4);
      SetColor(cr, paper);
      cairo_fill(cr);
      break;
    case 3:  // cut
      cairo_arc(cr, x + 5, y + 12, 2.2, 0, 2 * M_PI);
      cairo_new_sub_path(cr);
      cairo_arc(cr, x + 11, y + 12, 2.2, 0, 2 * M_PI);
      Stroke(cr, Hex("#c0392b"), 1.3);
      cairo_move_to(cr, x + 6.2, y + 10), cairo_line_to(cr, x + 11, y + 2);
      cairo_move_to(cr, x + 9.8, y + 10), cairo_line_to(cr, x + 5, y + 2);
      Stroke(cr, ink, 1.2);
      break;
    case 4:  // copy
      page(x + 1, y + 1, 8, 10);
      page(x + 6, y + 5, 8, 10);
      break;
    case 5:  // paste
      cairo_rectangle(cr, x + 2.5, y + 2.5, 11, 12);
      SetColor(cr, Hex("#c9a063"));
      cairo_fill_preserve(cr);
      Stroke(cr, Hex("#7a5a26"), 1);
      page(x + 5, y + 6, 7, 8);
      cairo_rectangle(cr, x + 5.5, y + 1.5, 5, 2.5);
      SetColor(cr, ink);
      cairo_fill(cr);
      break;
    case 6:  // delete
      cairo_move_to(cr, x + 4, y + 4), cairo_line_to(cr, x + 12, y + 12);
      cairo_move_to(cr, x + 12, y + 4), cairo_line_to(cr, x + 4, y + 12);
      Stroke(cr, Hex("#d23c32"), 2.2);
      break;
    case 7: {  // select all
      const double dashes[] = {2, 1.5};
      cairo_set_dash(cr, dashes, 2, 0);
      cairo_rectangle(cr, x + 2.5, y + 2.5, 11, 11);
      Stroke(cr, ink, 1);
      cairo_set_dash(cr, nullptr, 0, 0);
      cairo_rectangle(cr, x + 5, y + 5, 6, 6);
      SetColor(cr, blue);
      cairo_fill(cr);
      break;
    }
    default: {  // 8 information, 9 warning, 10 error, 11 question
      const double cx = x + 8, cy = y + 8;
      if (index == 9) {
        cairo_move_to(cr, cx, y + 1.5), cairo_line_to(cr, x + 15, y + 14.5), cairo_line_to(cr, x + 1, y + 14.5);
        cairo_close_path(cr);
        SetColor(cr, Hex("#f4b400"));
        cairo_fill_preserve(cr);
        Stroke(cr, Hex("#9a6f00"), 1);
      } else {
        cairo_arc(cr, cx, cy, 7, 0, 2 * M_PI);
        SetColor(cr, index == 10 ? Hex("#d23c32") : blue);
        cairo_fill(cr);
      }
      TextStyle mark;
      mark.family = "DejaVu Sans";
      mark.pixel_size = 11;
      mark.bold = true;
      mark.colour = index == 9 ? Hex("#3a2a00") : paper;
      const char* text = index == 8 ? "i" : index == 9 ? "!" : index == 10 ? "×" : "?";
      CenterText(cr, text, mark, x, y + (index == 9 ? 2 : 0), 16, 16);
      break;
    }
  }
}

void CaptionGlyph(cairo_t* cr, double cx, double cy, int kind /*0 close 1 min 2 max 3 restore*/, Rgba c) {
  SetColor(cr, c);
  cairo_set_line_width(cr, 1.4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  switch (kind) {
    case 0:
      cairo_move_to(cr, cx - 4.5, cy - 4.5), cairo_line_to(cr, cx + 4.5, cy + 4.5);
      cairo_move_to(cr, cx + 4.5, cy - 4.5), cairo_line_to(cr, cx - 4.5, cy + 4.5);
      break;
    case 1: cairo_move_to(cr, cx - 5, cy + 3.5), cairo_line_to(cr, cx + 5, cy + 3.5); break;
    case 2: cairo_rectangle(cr, cx - 4.5, cy - 4.5, 9, 9); break;
    default:
      cairo_rectangle(cr, cx - 5, cy - 2, 7, 7);
      cairo_move_to(cr, cx - 2, cy - 2), cairo_line_to(cr, cx - 2, cy - 5), cairo_line_to(cr, cx + 5, cy - 5);
      cairo_line_to(cr, cx + 5, cy + 2), cairo_line_to(cr, cx + 2, cy + 2);
      break;
  }
  cairo_stroke(cr);
}

void CaptionButtons(const std::string& dir) {
  struct Button {
    const char* file;
    int width, kind;
  };
  for (Button b : {Button{"SYS_BTN_CLOSE.png", 38, 0}, Button{"SYS_BTN_MINIMIZE.png", 36, 1},
                   Button{"SYS_BTN_MAXIMIZE.png", 36, 2}, Button{"SYS_BTN_RESTORE.png", 36, 3}}) {
    WriteStrip(dir + "/" + b.file, b.width, 25, 3, false, true, [&](cairo_t* cr, double x, double y, double w, double h, int i) {
      if (i > 0) {
        RoundedRect(cr, x + 1, y + 1, w - 2, h - 2, 3);
        Rgba plate = b.kind == 0 ? (i == 1 ? Hex("#e0483e") : Hex("#b0322a")) : (i == 1 ? Hex("#dbe8f6") : Hex("#c2d6ec"));
        SetColor(cr, plate);
        cairo_fill(cr);
      }
      CaptionGlyph(cr, x + w / 2, y + h / 2, b.kind, b.kind == 0 && i > 0 ? Hex("#ffffff") : Hex("#3a4f66"));
    });
  }
}

void CheckAndRadio(const std::string& dir) {
  for (bool radio : {false, true}) {
    WriteStrip(dir + (radio ? "/SYS_RADIO.png" : "/SYS_CHECKBOX.png"), 15, 15, 8, false, true,
               [&](cairo_t* cr, double x, double y, double, double, int i) {
                 const Face f = FaceOf(i % 4);
                 if (radio) {
                   cairo_arc(cr, x + 7.5, y + 7.5, 6.5, 0, 2 * M_PI);
                   FillVertical(cr, y, y + 15, f.top, f.bottom, true);
                   Stroke(cr, f.border, 1);
                   if (i >= 4) {
                     cairo_arc(cr, x + 7.5, y + 7.5, 3.2, 0, 2 * M_PI);
                     SetColor(cr, f.glyph);
                     cairo_fill(cr);
                   }
                 } else {
                   FacePlate(cr, x + 1, y + 1, 13, 13, 2, f);
                   if (i >= 4) CheckMark(cr, x + 1, y + 1, 13, f.glyph, 1.8);
                 }
               });
  }
  const double dashes[] = {1, 1};
  WriteStrip(dir + "/SYS_FOCUS_CHECKBOX.png", 15, 15, 1, false, true, [&](cairo_t* cr, double, double, double, double, int) {
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_rectangle(cr, 0.5, 0.5, 14, 14);
    Stroke(cr, Hex("#4a4a4a"), 1);
  });
  WriteStrip(dir + "/SYS_FOCUS_RADIO.png", 15, 15, 1, false, true, [&](cairo_t* cr, double, double, double, double, int) {
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_arc(cr, 7.5, 7.5, 7, 0, 2 * M_PI);
    Stroke(cr, Hex("#4a4a4a"), 1);
  });
}

void ScrollBar(const std::string& dir) {
  // 9 columns x 3 rows of 16-pixel cells: vertical up, down, thumb, rail; horizontal
  // left, right, thumb, rail; then corner / vertical gripper / horizontal gripper.
  Surface s = NewSurface(144, 48);
  Context c = NewContext(s);
  cairo_t* cr = c.get();
  for (int row = 0; row < 3; ++row) {
    const Face f = FaceOf(row);
    for (int col = 0; col < 9; ++col) {
      const double x = col * 16, y = row * 16;
      cairo_save(cr);
      cairo_rectangle(cr, x, y, 16, 16);
      cairo_clip(cr);
      const int part = col < 8 ? col % 4 : 4;
      const bool vertical = col < 4;
      if (part == 3) {  // rail
        cairo_rectangle(cr, x, y, 16, 16);
        SetColor(cr, row == 2 ? Hex("#dfe6ee") : Hex("#f0f3f7"));
        cairo_fill(cr);
      } else if (part == 2) {  // thumb
        FacePlate(cr, x + (vertical ? 2 : 0), y + (vertical ? 0 : 2), vertical ? 12 : 16, vertical ? 16 : 12, 3, f);
      } else if (part < 2) {  // arrows
        FacePlate(cr, x + 1, y + 1, 14, 14, 2, f);
        SetColor(cr, f.glyph);
        const int dir_code = vertical ? part : 2 + part;
        Triangle(cr, x + 8, y + 8, 7, dir_code);
      } else if (row == 0) {  // corner
        cairo_rectangle(cr, x, y, 16, 16);
        SetColor(cr, Hex("#f0f3f7"));
        cairo_fill(cr);
      } else {  // grippers: three short ridges across the thumb
        for (int k = -1; k <= 1; ++k) {
          if (row == 1) cairo_move_to(cr, x + 5, y + 8.5 + 3 * k), cairo_line_to(cr, x + 11, y + 8.5 + 3 * k);
          else cairo_move_to(cr, x + 8.5 + 3 * k, y + 5), cairo_line_to(cr, x + 8.5 + 3 * k, y + 11);
        }
        Stroke(cr, Hex("#7d93ab"), 1);
      }
      cairo_restore(cr);
    }
  }
  WritePng(s, dir + "/SYS_SCROLLBAR.png");
}

void Progress(const std::string& dir) {
  auto track = [](cairo_t* cr, double, double, double w, double h, int) {
    RoundedRect(cr, 0.5, 0.5, w - 1, h - 1, 3);
    FillVertical(cr, 0, h, Hex("#dfe5ec"), Hex("#f5f7fa"), true);
    Stroke(cr, Hex("#a7b5c6"), 1);
  };
  WriteStrip(dir + "/SYS_PROG_BKGND.png", 12, 12, 1, false, true, track);
  WriteStrip(dir + "/SYS_VERT_PROG_BKGND.png", 12, 12, 1, false, true, track);
  WriteStrip(dir + "/SYS_PROG_BAR.png", 9, 8, 1, false, true, [](cairo_t* cr, double, double, double w, double h, int) {
    RoundedRect(cr, 0, 0, w, h, 2);
    FillVertical(cr, 0, h, Hex("#6cc4ff"), Hex("#1f7fd1"));
  });
  WriteStrip(dir + "/SYS_VERT_PROG_BAR.png", 8, 9, 1, false, true, [](cairo_t* cr, double, double, double w, double h, int) {
    RoundedRect(cr, 0, 0, w, h, 2);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, w, 0);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.42, 0.77, 1.0);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.12, 0.5, 0.82);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  });
}

void Menus(const std::string& dir) {
  WriteStrip(dir + "/SYS_MENU_ARROW.png", 16, 16, 2, false, true, [](cairo_t* cr, double x, double y, double, double, int i) {
    SetColor(cr, i == 0 ? Hex("#34506e") : Hex("#1d4f86"));
    Triangle(cr, x + 8, y + 8, 8, 3);
  });
  WriteStrip(dir + "/SYS_MENU_CHECK.png", 16, 16, 3, false, true, [](cairo_t* cr, double x, double y, double, double, int i) {
    CheckMark(cr, x + 1, y + 1, 14, i == 2 ? Hex("#a9a9a9") : i == 1 ? Hex("#1d4f86") : Hex("#34506e"), 1.8);
  });
  WriteStrip(dir + "/SYS_MENU_BORDER.png", 26, 26, 1, false, false, [](cairo_t* cr, double, double, double w, double h, int) {
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    Stroke(cr, Hex("#8fa3ba"), 1);
    cairo_rectangle(cr, 1.5, 1.5, w - 3, h - 3);
    Stroke(cr, Hex("#f4f7fb"), 1);
  });
  WriteStrip(dir + "/SYS_MENU_SEP.png", 50, 2, 1, false, true, [](cairo_t* cr, double, double, double w, double, int) {
    cairo_rectangle(cr, 25, 0, w - 25, 1);
    SetColor(cr, Hex("#d3dbe5"));
    cairo_fill(cr);
    cairo_rectangle(cr, 25, 1, w - 25, 1);
    SetColor(cr, Hex("#ffffff"));
    cairo_fill(cr);
  });
  WriteStrip(dir + "/SYS_MENU_SKIN.png", 100, 26, 2, false, true, [](cairo_t* cr, double x, double y, double w, double h, int i) {
    cairo_rectangle(cr, x, y, w, h);
    SetColor(cr, Hex("#ffffff"));
    cairo_fill(cr);
    cairo_rectangle(cr, x, y, 25, h);
    SetColor(cr, Hex("#eef2f7"));
    cairo_fill(cr);
    if (i == 1) {
      RoundedRect(cr, x + 2.5, y + 2.5, w - 5, h - 5, 3);
      FillVertical(cr, y + 2, y + h - 2, Hex("#e3effc"), Hex("#cfe2f8"), true);
      Stroke(cr, Hex("#7da2ce"), 1);
    }
  });
}

void SmallButtons(const std::string& dir) {
  for (bool next : {false, true}) {
    WriteStrip(dir + (next ? "/SYS_BTN_NEXT.png" : "/SYS_BTN_PREV.png"), 16, 16, 3, false, true,
               [&](cairo_t* cr, double x, double y, double, double, int i) {
                 const Face f = FaceOf(i);
                 FacePlate(cr, x, y, 16, 16, 3, f);
                 SetColor(cr, f.glyph);
                 Triangle(cr, x + 8, y + 8, 7, next ? 3 : 2);
               });
  }
  WriteStrip(dir + "/SYS_DROPBTN.png", 16, 16, 3, false, false, [](cairo_t* cr, double x, double y, double, double, int i) {
    const Face f = FaceOf(i);
    cairo_rectangle(cr, x, y, 16, 16);
    FillVertical(cr, y, y + 16, f.top, f.bottom);
    SetColor(cr, f.glyph);
    Triangle(cr, x + 8, y + 8, 8, 1);
  });
  for (bool up : {true, false}) {
    WriteStrip(dir + (up ? "/SYS_SPIN_UP.png" : "/SYS_SPIN_DOWN.png"), 15, 10, 3, true, true,
               [&](cairo_t* cr, double x, double y, double w, double h, int i) {
                 const Face f = FaceOf(i);
                 FacePlate(cr, x, y, w, h, 2, f);
                 SetColor(cr, f.glyph);
                 Triangle(cr, x + 7.5, y + 5, 6, up ? 0 : 1);
               });
  }
  WriteStrip(dir + "/SYS_SLIDER_THUMB.png", 20, 20, 4, false, true, [](cairo_t* cr, double x, double y, double, double, int i) {
    const Face f = FaceOf(i);
    cairo_arc(cr, x + 10, y + 10, 8.5, 0, 2 * M_PI);
    FillVertical(cr, y + 1, y + 19, f.top, f.bottom, true);
    Stroke(cr, f.border, 1.2);
    cairo_arc(cr, x + 10, y + 10, 3, 0, 2 * M_PI);
    SetColor(cr, i == 3 ? f.border : Hex("#2d7bd0"));
    cairo_fill(cr);
  });
}

void Panels(const std::string& dir) {
  WriteStrip(dir + "/SYS_BORDER.png", 26, 26, 2, false, false, [](cairo_t* cr, double x, double y, double w, double h, int i) {
    cairo_rectangle(cr, x + 0.5, y + 0.5, w - 1, h - 1);
    Stroke(cr, i == 0 ? Hex("#a3b2c5") : Hex("#3c7fb1"), 1);
    cairo_rectangle(cr, x + 1.5, y + 1.5, w - 3, h - 3);
    Stroke(cr, i == 0 ? Hex("#eef2f6") : Hex("#cfe2f5"), 1);
  });
  WriteStrip(dir + "/SYS_HEADER.png", 90, 35, 4, false, true, [](cairo_t* cr, double x, double y, double w, double h, int i) {
    const Face f = FaceOf(i);
    cairo_rectangle(cr, x, y, w, h);
    FillVertical(cr, y, y + h, f.top, f.bottom);
    cairo_move_to(cr, x + w - 0.5, y + 6);
    cairo_line_to(cr, x + w - 0.5, y + h - 6);
    cairo_move_to(cr, x, y + h - 0.5);
    cairo_line_to(cr, x + w, y + h - 0.5);
    Stroke(cr, f.border, 1);
  });
  WriteStrip(dir + "/SYS_TAB_PAGE.png", 94, 38, 3, false, true, [](cairo_t* cr, double x, double y, double w, double h, int i) {
    const Face f = FaceOf(i == 2 ? 0 : i);
    cairo_move_to(cr, x + 0.5, y + h);
    cairo_line_to(cr, x + 0.5, y + 5);
    cairo_arc(cr, x + 5.5, y + 5.5, 5, M_PI, 3 * M_PI / 2);
    cairo_arc(cr, x + w - 5.5, y + 5.5, 5, 3 * M_PI / 2, 2 * M_PI);
    cairo_line_to(cr, x + w - 0.5, y + h);
    FillVertical(cr, y, y + h, i == 2 ? Hex("#ffffff") : f.top, i == 2 ? Hex("#ffffff") : f.bottom, true);
    Stroke(cr, f.border, 1);
    if (i == 2) {
      cairo_rectangle(cr, x + 1, y + 1, w - 2, 3);
      SetColor(cr, Hex("#2d7bd0"));
      cairo_fill(cr);
    }
  });
  // Window background: caption band (40), body, footer band (40), thin frame.
  WriteStrip(dir + "/SYS_WND_BKGND.png", 13, 85, 1, false, true, [](cairo_t* cr, double, double, double w, double h, int) {
    cairo_rectangle(cr, 0, 0, w, 40);
    FillVertical(cr, 0, 40, Hex("#eaf1f9"), Hex("#d9e5f2"));
    cairo_rectangle(cr, 0, 40, w, 5);
    SetColor(cr, Hex("#ffffff"));
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 45, w, 40);
    SetColor(cr, Hex("#f2f5f9"));
    cairo_fill(cr);
    cairo_move_to(cr, 0, 45.5);
    cairo_line_to(cr, w, 45.5);
    Stroke(cr, Hex("#dde4ed"), 1);
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    Stroke(cr, Hex("#7f97b2"), 1);
  });
  for (bool vertical : {false, true}) {
    const int w = vertical ? 6 : 85, h = vertical ? 85 : 6;
    WriteStrip(dir + (vertical ? "/SYS_SPLIT_VERT.png" : "/SYS_SPLIT_HORZ.png"), w, h, 1, false, true,
               [&](cairo_t* cr, double, double, double cw, double ch, int) {
                 cairo_rectangle(cr, 0, 0, cw, ch);
                 SetColor(cr, Hex("#e4eaf1"));
                 cairo_fill(cr);
                 for (int k = -2; k <= 2; ++k) {
                   const double cx = vertical ? 3 : 42.5 + 5 * k, cy = vertical ? 42.5 + 5 * k : 3;
                   cairo_arc(cr, cx, cy, 1, 0, 2 * M_PI);
                   SetColor(cr, Hex("#8aa0b8"));
                   cairo_fill(cr);
                 }
               });
  }
}

void Trees(const std::string& dir) {
  WriteStrip(dir + "/SYS_TREE_TOGGLE.png", 17, 17, 6, false, true, [](cairo_t* cr, double x, double y, double, double, int i) {
    // Collapsed normal, collapsed hover, expanded normal, expanded hover, then the pushed pair.
    const bool expanded = i == 2 || i == 3 || i == 5;
    const Face f = FaceOf(i == 1 || i == 3 ? 1 : i >= 4 ? 2 : 0);
    FacePlate(cr, x + 3, y + 3, 11, 11, 2, f);
    cairo_move_to(cr, x + 5.5, y + 8.5), cairo_line_to(cr, x + 11.5, y + 8.5);
    if (!expanded) cairo_move_to(cr, x + 8.5, y + 5.5), cairo_line_to(cr, x + 8.5, y + 11.5);
    Stroke(cr, f.glyph, 1);
  });
  WriteStrip(dir + "/SYS_TREE_CHECKBOX.png", 17, 17, 9, false, true, [](cairo_t* cr, double x, double y, double, double, int i) {
    // Unchecked, checked, partly checked; each normal, hover, pushed.
    const Face f = FaceOf(i % 3);
    FacePlate(cr, x + 2, y + 2, 13, 13, 2, f);
    if (i / 3 == 1) CheckMark(cr, x + 2, y + 2, 13, f.glyph, 1.8);
    if (i / 3 == 2) {
      cairo_rectangle(cr, x + 5.5, y + 5.5, 6, 6);
      SetColor(cr, f.glyph);
      cairo_fill(cr);
    }
  });
  WriteStrip(dir + "/SYS_TREE_LINES.png", 18, 18, 9, false, true, [](cairo_t* cr, double x, double y, double, double, int i) {
    // none, vertical, tee, last elbow, horizontal, first elbow, top tee, cross, root stub.
    const double cx = x + 9.5, cy = y + 9.5;
    const double dashes[] = {1, 1};
    cairo_set_dash(cr, dashes, 2, 0);
    const bool up = i == 1 || i == 2 || i == 3 || i == 7;
    const bool down = i == 1 || i == 2 || i == 5 || i == 6 || i == 7;
    const bool right = i >= 2 && i != 1;
    const bool left = i == 4 || i == 6 || i == 7;
    if (up) cairo_move_to(cr, cx, y), cairo_line_to(cr, cx, cy);
    if (down) cairo_move_to(cr, cx, cy), cairo_line_to(cr, cx, y + 18);
    if (right) cairo_move_to(cr, cx, cy), cairo_line_to(cr, x + 18, cy);
    if (left) cairo_move_to(cr, x, cy), cairo_line_to(cr, cx, cy);
    Stroke(cr, Hex("#9aabbf"), 1);
  });
}

}  // namespace

void DrawSystemImages(const std::string& dir) {
  CaptionButtons(dir);
  CheckAndRadio(dir);
  ScrollBar(dir);
  Progress(dir);
  Menus(dir);
  SmallButtons(dir);
  Panels(dir);
  Trees(dir);
  WriteStrip(dir + "/SYS_ICONS.png", 16, 16, 12, false, true,
             [](cairo_t* cr, double x, double y, double, double, int i) { DrawIcon(cr, x, y, i); });
}

}  // namespace artgen
