// Helpers of the installer tests: a scratch folder mapped as drive C (and E), restored after.
#pragma once

#include "HostPath.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace insttest {

class DriveC : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("quillet_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "c");
    std::filesystem::create_directories(root_ / "e");
    std::string map = "C=" + (root_ / "c").string() + ";E=" + (root_ / "e").string() + ";E.label=DISK.01";
    setenv("QUILLET_DRIVES", map.c_str(), 1);
    ReloadDriveMap();
    oldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(root_ / "c");
  }
  void TearDown() override {
    std::filesystem::current_path(oldCwd_);
    std::filesystem::remove_all(root_);
    unsetenv("QUILLET_DRIVES");
    ReloadDriveMap();
  }
  /// The host path of a file under drive C's root.
  std::string C(const std::string& rel = "") const { return (root_ / "c" / rel).string(); }
  std::string E(const std::string& rel = "") const { return (root_ / "e" / rel).string(); }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path root_, oldCwd_;
};

}  // namespace insttest
