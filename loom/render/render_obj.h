// The base of every back-end's render objects: reference counted, typed, and holding the
// factory that made them.
#pragma once

#include "core/render.h"

namespace LOOM {

template <class I, int Type>
class TRenderObj : public TObjRefImpl<I> {
 public:
  explicit TRenderObj(IRenderFactory* f) : factory_(f) {}
  int ObjectType() const override { return Type; }
  IRenderFactory* RenderFactoryOf() const override { return factory_.get(); }

 protected:
  SAutoRefPtr<IRenderFactory> factory_;
};

}  // namespace LOOM
