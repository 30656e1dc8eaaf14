// Shared helpers of the thing tests: scratch files named after the running test.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/text.h"

namespace picmap::testing {

// A scratch path unique to the running test, removed again by the fixture.
inline std::string ScratchPath(const std::string& suffix) {
  return ::testing::TempDir() + "things_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines joined with CR LF (each line closed) in code page 932.
inline std::string Cp932Lines(const std::vector<std::u16string>& lines) {
  std::string bytes;
  for (const auto& line : lines) bytes += ToCp932(line) + "\r\n";
  return bytes;
}

}  // namespace picmap::testing
