#include "core/translatable_text.h"

#include "core/application.h"

namespace LOOM {

void TranslatableText::SetText(std::u16string_view source) {
  source_ = source;
  Translate();
}

void TranslatableText::Translate() {
  SApplication* app = SApplication::Instance();
  if (!app || source_.empty()) {
    translated_ = source_;
    return;
  }
  translated_ = app->TranslateInContext(source_, provider_ ? provider_->TranslationContext() : std::u16string());
}

}  // namespace LOOM
