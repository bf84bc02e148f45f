// Text that follows the application's translator: the source text as written and its
// translation in the context of the element that shows it.
#pragma once

#include <string>
#include <string_view>

namespace LOOM {

// Supplies the translation context of an element: its own "trCtx", else its host's.
struct ITrCtxProvider {
  virtual std::u16string TranslationContext() const = 0;

 protected:
  ~ITrCtxProvider() = default;
};

class TranslatableText {
 public:
  explicit TranslatableText(const ITrCtxProvider* provider) : provider_(provider) {}

  // Stores the source text and translates it.
  void SetText(std::u16string_view source);
  // Translates the source text again (the language or the context changed).
  void Translate();
  const std::u16string& Source() const { return source_; }
  const std::u16string& Translated() const { return translated_; }

 private:
  const ITrCtxProvider* provider_;
  std::u16string source_;
  std::u16string translated_;
};

}  // namespace LOOM
