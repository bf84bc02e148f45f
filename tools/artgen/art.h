// The pictures of the resource package, by group. Each function writes its files into
// the given folder.
#pragma once

#include <string>

#include "canvas.h"

namespace artgen {

// Skin images of the program's windows (buttons, boxes, dialog backgrounds, the small icon).
void DrawProgramImages(const std::string& images_dir);
// The main window's background with its title strip (JPEG).
void DrawBackdrop(const std::string& images_dir);
// The toolkit's system images (check boxes, scroll bars, menus, ...).
void DrawSystemImages(const std::string& png_dir);
// The program icon file: 48, 32 and 16 pixels at 4, 8 and 32 bits, and 256 as PNG.
void DrawProgramIcon(const std::string& icons_dir);

// The Velmora emblem (a gold "V" on a night-blue medallion), centred at (cx, cy).
// Small sizes drop the fine detail.
void DrawEmblem(cairo_t* cr, double cx, double cy, double radius);

}  // namespace artgen
