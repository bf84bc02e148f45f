// Copies, scaled copies and saved files of a bitmap, made through the factory that made
// it, so that every back-end's bitmap answers them alike.
#pragma once

#include <string_view>

#include "core/render.h"

namespace LOOM {

HRESULT CloneBitmap(IRenderFactory& factory, const IBitmap& source, IBitmap** out);
// Draws the source stretched into a new target of the given size (filter_level as the
// image's expand mode) and hands back that target's bitmap.
HRESULT ResampleBitmap(IRenderFactory& factory, const IBitmap& source, int width, int height, int filter_level,
                       IBitmap** out);
HRESULT ResampleBitmapPercent(IRenderFactory& factory, const IBitmap& source, int percent, int filter_level,
                              IBitmap** out);
HRESULT SaveBitmapFile(IRenderFactory& factory, const IBitmap& bitmap, std::u16string_view path, int format);

}  // namespace LOOM
