// krdn-artgen <res folder>: draws every picture of the resource package into
// <res>/images, <res>/system/png and <res>/icons.
#include <exception>
#include <filesystem>
#include <iostream>

#include "art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: krdn-artgen <res folder>\n";
    return 2;
  }
  const std::filesystem::path res = argv[1];
  try {
    for (const char* sub : {"images", "system/png", "icons"}) std::filesystem::create_directories(res / sub);
    artgen::DrawProgramImages((res / "images").string());
    artgen::DrawBackdrop((res / "images").string());
    artgen::DrawSystemImages((res / "system/png").string());
    artgen::DrawProgramIcon((res / "icons").string());
  } catch (const std::exception& e) {
    std::cerr << "krdn-artgen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
