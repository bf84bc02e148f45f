#include "repair/local_run_context.h"

namespace krdn {

LocalRunContext::LocalRunContext(std::u16string install_directory, Handler handler)
    : install_directory_(std::move(install_directory)), handler_(std::move(handler)) {}

void LocalRunContext::Start() {
  running_.store(true);
  busy_.store(true);
  control_.Release();
}

void LocalRunContext::Stop() {
  control_.Hold([this] { running_.store(false); });
  busy_.store(false);
}

}  // namespace krdn
