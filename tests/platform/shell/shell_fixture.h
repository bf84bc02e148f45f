// A fresh temporary folder per test, and helpers to write files and scripts into it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace shell_test {

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "krdn-shell-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& content, bool executable = false) {
    std::string path = (dir_ / name).string();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    ::chmod(path.c_str(), executable ? 0755 : 0644);
    return path;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Waits (up to 10 s) for a file a child process writes to appear with content.
  static bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
      if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::filesystem::path dir_;
};

// Puts a folder first on the PATH for the test's life.
class PathPrefix {
 public:
  explicit PathPrefix(const std::string& dir, bool only = false) {
    const char* old = std::getenv("PATH");
    old_ = old != nullptr ? old : "";
    std::string value = only ? dir : dir + ":" + old_;
    ::setenv("PATH", value.c_str(), 1);
  }
  ~PathPrefix() { ::setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

}  // namespace shell_test
