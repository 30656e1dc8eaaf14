// picmap-cli things: the thing file as JSON, run through the built executable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/text.h"

namespace picmap::test {
namespace {

namespace fs = std::filesystem;

struct VerbRun {
  int exit;
  std::string out, err;
};

std::string FileText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ThingsVerbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("picmap_cli_things_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  VerbRun Run(const std::string& args) {
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    const std::string cmd = std::string("QT_QPA_PLATFORM=offscreen LC_ALL=en_US.UTF-8 '") + PICMAP_RUNTIME_DIR +
                            "/picmap-cli' things " + args + " >'" + out.string() + "' 2>'" +
                            err.string() + "'";
    const int status = std::system(cmd.c_str());
    return {WEXITSTATUS(status), FileText(out), FileText(err)};
  }
  static QJsonObject Parse(const std::string& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return doc.object();
  }
  fs::path dir_;
};

TEST_F(ThingsVerbTest, PrintsTheTemplateCatalogue) {
  const VerbRun run = Run(std::string("'") + PICMAP_RUNTIME_DIR + "/PICMAP.THG'");
  ASSERT_EQ(run.exit, 0) << run.err;
  const QJsonObject o = Parse(run.out);
  EXPECT_FALSE(o["comment"].toString().isEmpty());
  EXPECT_EQ(o["categories"].toObject()["1"].toString(), QString::fromUtf8("画像"));
  const QJsonArray things = o["things"].toArray();
  ASSERT_EQ(things.size(), 1);
  const QJsonObject polygon = things[0].toObject();
  EXPECT_EQ(polygon["name"].toString(), QString::fromUtf8("画像ポリゴン"));
  EXPECT_EQ(polygon["number"].toInt(), 0);
  EXPECT_EQ(polygon["figure"].toInt(), 3);
  EXPECT_EQ(polygon["category"].toInt(), 1);
  const QJsonArray pages = polygon["pages"].toArray();
  ASSERT_EQ(pages.size(), 8);
  const QJsonObject page = pages[7].toObject();
  EXPECT_EQ(page.keys(), (QStringList{"back", "europian", "fore", "japanese", "large", "show",
                                      "size", "small", "style"}));
  EXPECT_EQ(page["show"].toInt(), -1);
  EXPECT_EQ(page["back"].toInt(), -1);
  EXPECT_EQ(page["europian"].toString(), "(default)");
  // Whole scales print as integers, not in exponent notation.
  EXPECT_NE(run.out.find("\"small\": 1000000000"), std::string::npos);
  EXPECT_NE(run.out.find("\"large\": 100000"), std::string::npos);
}

TEST_F(ThingsVerbTest, ReadsTheNamedFileAsItIsAndKeepsTheOrder) {
  const fs::path file = dir_ / "lower.thg";
  std::ofstream(file, std::ios::binary)
      << ToCp932(u"[CATEGORY]\r\n3,\"道\"\r\n\r\n[THING]\r\nNUMBER=9\r\nFIGURE=POLYLINE\r\n"
                 u"NAME=\"細道\"\r\nSHOW=0,1\r\nWIDTH=2\r\n\r\n[THING]\r\nNUMBER=4\r\n");
  const VerbRun run = Run("'" + file.string() + "'");
  ASSERT_EQ(run.exit, 0) << run.err;
  const QJsonObject o = Parse(run.out);
  EXPECT_EQ(o["categories"].toObject().keys(), QStringList{"3"});
  const QJsonArray things = o["things"].toArray();
  ASSERT_EQ(things.size(), 2);
  EXPECT_EQ(things[0].toObject()["number"].toInt(), 9);
  EXPECT_EQ(things[1].toObject()["number"].toInt(), 4);
  const QJsonArray pages = things[0].toObject()["pages"].toArray();
  EXPECT_EQ(pages[0].toObject()["show"].toInt(), 0);
  EXPECT_EQ(pages[1].toObject()["show"].toInt(), 1);
  EXPECT_EQ(pages[1].toObject()["size"].toInt(), 2);
}

TEST_F(ThingsVerbTest, MissingFileFailsWithTheMessageOnStandardError) {
  const VerbRun run = Run("--lang ja '" + (dir_ / "missing.THG").string() + "'");
  EXPECT_EQ(run.exit, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("事象ファイルが存在しません."), std::string::npos);
}

TEST_F(ThingsVerbTest, UnreadableFileFails) {
  const VerbRun run = Run("'" + dir_.string() + "'");
  EXPECT_EQ(run.exit, 1);
  EXPECT_TRUE(run.out.empty());
}

TEST_F(ThingsVerbTest, WrongArgumentsAreUsageErrors) {
  EXPECT_EQ(Run("").exit, 2);
  EXPECT_EQ(Run("a.THG b.THG").exit, 2);
  EXPECT_EQ(Run("--no-such-option a.THG").exit, 2);
  const VerbRun help = Run("--help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("THG"), std::string::npos);
}

}  // namespace
}  // namespace picmap::test
