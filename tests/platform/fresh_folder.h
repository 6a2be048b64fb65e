// Each test of the platform in a fresh empty folder made the current one, as the host's folder is for the
// plug-in; both builds run these, so nothing here is POSIX-only.
#ifndef ZORVANT_TESTS_PLATFORM_FRESH_FOLDER_H_
#define ZORVANT_TESTS_PLATFORM_FRESH_FOLDER_H_

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace zorvant::testing {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

class InFreshFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int n = 0; dir_.empty(); ++n) {
      const std::filesystem::path d = std::filesystem::temp_directory_path() /
                                      ("zorvant_platform_" + std::to_string(stamp) + "_" + std::to_string(n));
      if (std::filesystem::create_directory(d)) dir_ = d;
    }
    std::filesystem::current_path(dir_);
  }

  void TearDown() override {
    std::filesystem::current_path(saved_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::filesystem::path dir_;

 private:
  std::filesystem::path saved_;
};

}  // namespace zorvant::testing

#endif  // ZORVANT_TESTS_PLATFORM_FRESH_FOLDER_H_
