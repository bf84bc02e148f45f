// Counted results of the render abstraction. The making operations of factories and
// targets hand out one reference through an out-parameter; these helpers hand it back
// in an SAutoRefPtr instead (null when nothing was made), so that no caller releases by
// hand. SSelectScope selects an object into a target for a scope and brings back the
// one selected before when the scope ends.
#pragma once

#include "core/img_decoder.h"
#include "core/render.h"

namespace LOOM {

// ---- made by a factory ---------------------------------------------------------------

SAutoRefPtr<IRenderTarget> MakeTarget(IRenderFactory* factory, int width, int height);
SAutoRefPtr<IFont> MakeFont(IRenderFactory* factory, const SLogFont& lf);
SAutoRefPtr<IBitmap> MakeBitmap(IRenderFactory* factory);
SAutoRefPtr<IRegion> MakeRegion(IRenderFactory* factory);
SAutoRefPtr<IImgX> MakeImage(IImgDecoderFactory* decoders);

// ---- made by a target ------------------------------------------------------------------

SAutoRefPtr<IPen> MakePen(IRenderTarget* rt, int style, COLORREF color, int width);
SAutoRefPtr<IBrush> MakeSolidBrush(IRenderTarget* rt, COLORREF color);
SAutoRefPtr<IRegion> MakeRegion(IRenderTarget* rt);
// The target's clip as a region in its logical coordinates.
SAutoRefPtr<IRegion> ClipRegionOf(const IRenderTarget* rt);

// ---- copies of a bitmap ------------------------------------------------------------------

SAutoRefPtr<IBitmap> CloneOf(const IBitmap* bitmap);
SAutoRefPtr<IBitmap> ResampledOf(const IBitmap* bitmap, int width, int height, int filter_level);

// ---- selection ---------------------------------------------------------------------------

// Selects obj into rt and hands back the object of its type that was selected before
// (null when the target refused obj). For a selection that outlives one scope; within a
// scope, SSelectScope restores by itself.
SAutoRefPtr<IRenderObj> SelectKeepingPrevious(IRenderTarget* rt, IRenderObj* obj);

// Selects a pen, brush, font or bitmap into a target for the life of the scope; the
// object selected before comes back when the scope ends (or at Restore()). A refused
// selection leaves the target as it was and restores nothing. A moved-from scope
// restores nothing; the scope moved into restores once.
class SSelectScope {
 public:
  SSelectScope(IRenderTarget* rt, IRenderObj* obj);
  ~SSelectScope() { Restore(); }
  SSelectScope(SSelectScope&& other) noexcept;
  SSelectScope& operator=(SSelectScope&& other) noexcept;
  SSelectScope(const SSelectScope&) = delete;
  SSelectScope& operator=(const SSelectScope&) = delete;

  // Whether the target took the object.
  bool Selected() const { return selected_; }
  // Brings the previous object back now; later calls and the end of the scope do nothing.
  void Restore();

 private:
  SAutoRefPtr<IRenderTarget> rt_;
  SAutoRefPtr<IRenderObj> previous_;
  bool selected_ = false;
};

}  // namespace LOOM
