#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/errors.h"
#include "support/text.h"
#include "things/textlines.h"
#include "things_helpers.h"

namespace picmap {
namespace {
using testing::ReadBytes;
using testing::ScratchPath;
using testing::WriteBytes;
namespace fs = std::filesystem;

int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

class TextLines : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(folder_); }
  void TearDown() override { fs::remove_all(folder_); }
  std::string folder_ = ScratchPath("_dir");
  std::string path_ = folder_ + "/lines.txt";
};

TEST_F(TextLines, ReaderSplitsOnCrLfAndLfAndDecodesCp932) {
  WriteBytes(path_, "a\r\n\x93\xb9\x98\x48\nb\rc\r\n\r\nlast");
  TextLineReader in;
  in.Open(FromUtf8(path_));
  EXPECT_EQ(in.ReadLine(), u"a");
  EXPECT_EQ(in.ReadLine(), u"道路");
  EXPECT_EQ(in.ReadLine(), u"b\rc");  // a lone CR inside a line stays
  EXPECT_EQ(in.ReadLine(), u"");
  EXPECT_FALSE(in.AtEnd());
  EXPECT_EQ(in.ReadLine(), u"last");
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(ErrorOf([&] { in.ReadLine(); }), err::kInputPastEnd);
  in.Close();
  EXPECT_EQ(ErrorOf([&] { in.AtEnd(); }), err::kBadFileNameOrNumber);
}

TEST_F(TextLines, ClosingLineEndGivesNoExtraLine) {
  WriteBytes(path_, "only\r\n");
  TextLineReader in;
  in.Open(FromUtf8(path_));
  EXPECT_EQ(in.ReadLine(), u"only");
  EXPECT_TRUE(in.AtEnd());
}

TEST_F(TextLines, OpeningFailuresAreFileErrors) {
  TextLineReader in;
  EXPECT_EQ(ErrorOf([&] { in.Open(FromUtf8(folder_ + "/missing")); }), err::kFileNotFound);
  EXPECT_EQ(ErrorOf([&] { in.Open(FromUtf8(folder_)); }), err::kPathFileAccess);
  EXPECT_FALSE(in.IsOpen());
  TextLineWriter out;
  EXPECT_EQ(ErrorOf([&] { out.Open(FromUtf8(folder_ + "/no/x")); }), err::kFileNotFound);
  EXPECT_EQ(ErrorOf([&] { out.WriteLine(u"x"); }), err::kBadFileNameOrNumber);
}

TEST_F(TextLines, WriterReplacesTheTargetOnlyOnCommit) {
  WriteBytes(path_, "old");
  {
    TextLineWriter out;
    out.Open(FromUtf8(path_));
    out.WriteLine(u"新しい");
    EXPECT_EQ(ReadBytes(path_), "old");
  }  // destroyed without Commit
  EXPECT_EQ(ReadBytes(path_), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);

  TextLineWriter out;
  out.Open(FromUtf8(path_));
  out.WriteLine(u"新しい");
  out.WriteLine(u"");
  out.Commit();
  EXPECT_EQ(ReadBytes(path_), ToCp932(u"新しい") + "\r\n\r\n");
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace picmap
