#include "app/install_paths.h"

#include "platform/shell/process.h"

namespace krdn::app {

std::u16string DefaultInstallDirectory() { return JoinPath(platform::DefaultInstallParent(), u"KRDN"); }

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  while (!path.empty() && (path.back() == u'/' || path.back() == u'\\')) path.pop_back();
  path += platform::PathSeparator();
  path += name;
  return path;
}

}  // namespace krdn::app
