#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/errors.h"
#include "support/platform.h"
#include "support/text.h"
#include "fault_injection.h"
#include "things/clsThings.h"
#include "things_helpers.h"

namespace picmap {
namespace {
using testing::Cp932Lines;
using testing::ReadBytes;
using testing::ScratchPath;
using testing::WriteBytes;
namespace fs = std::filesystem;

std::shared_ptr<clsThing> NewThing(int16_t number, const std::u16string& name, int32_t figure = 3) {
  auto t = std::make_shared<clsThing>();
  t->Index(number);
  t->Name(name);
  t->Figure(figure);
  return t;
}

std::vector<int16_t> Numbers(const clsThings& things) {
  std::vector<int16_t> numbers;
  for (const auto& t : things) numbers.push_back(t->Index());
  return numbers;
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_);
    path_ = folder_ + "/cat.THG";
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Writes the lines as a thing file and loads it.
  int32_t LoadLines(const std::vector<std::u16string>& lines) {
    WriteBytes(path_, Cp932Lines(lines));
    things_.FileName(FromUtf8(path_));
    return things_.Load();
  }
  std::vector<std::string> LeftOvers() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_)) {
      if (e.path().string() != path_) names.push_back(e.path().filename().string());
    }
    return names;
  }

  ScopedScriptedPorts ports_;
  std::string folder_ = ScratchPath("_dir");
  std::string path_;
  clsThings things_;
};

TEST_F(Catalogue, NewCatalogueIsEmptyAndNamesTheDefaultFile) {
  EXPECT_EQ(things_.Count(), 0);
  EXPECT_FALSE(things_.Modify());
  EXPECT_FALSE(things_.LockMode());
  EXPECT_EQ(things_.FileName(), Program().folder + u"/Default.thg");
  EXPECT_EQ(things_.CategoryName(1), u"");
  EXPECT_EQ(things_.Item(0), nullptr);
}

TEST_F(Catalogue, FileNameTakesTheThingExtension) {
  things_.FileName(u"/data/a.b/map.MLL");
  EXPECT_EQ(things_.FileName(), u"/data/a.b/map.THG");
  EXPECT_TRUE(things_.Modify());
  things_.Modify(false);
  things_.FileName(u"/DATA/A.B/MAP.thg");  // the same file in other letter case
  EXPECT_EQ(things_.FileName(), u"/data/a.b/map.THG");
  EXPECT_FALSE(things_.Modify());
  things_.FileName(u"/data/noext");
  EXPECT_EQ(things_.FileName(), u"/data/noext.THG");
}

TEST_F(Catalogue, AddNumbersReplacesAndRemoves) {
  EXPECT_TRUE(things_.Add(std::make_shared<clsThing>()));
  EXPECT_TRUE(things_.Add(NewThing(5, u"five")));
  EXPECT_TRUE(things_.Add(NewThing(2, u"two")));
  EXPECT_TRUE(things_.Add(std::make_shared<clsThing>()));  // one above the highest
  EXPECT_EQ(Numbers(things_), (std::vector<int16_t>{0, 5, 2, 6}));
  EXPECT_TRUE(things_.Modify());

  auto other = NewThing(5, u"other five");
  EXPECT_TRUE(things_.Add(other));
  EXPECT_EQ(Numbers(things_), (std::vector<int16_t>{0, 5, 2, 6}));
  EXPECT_EQ(things_.Item(5), other);
  EXPECT_EQ(things_.Item(5)->Name(), u"other five");

  things_.Modify(false);
  EXPECT_TRUE(things_.Remove(5));
  EXPECT_FALSE(things_.Remove(5));
  EXPECT_FALSE(things_.Modify());
  EXPECT_EQ(things_.Item(5), nullptr);
  EXPECT_EQ(things_.Count(), 3);
  EXPECT_EQ(things_.Item(1000), nullptr);
  EXPECT_EQ(things_.Item(-1), nullptr);
}

TEST_F(Catalogue, NoFreeNumberAfter999) {
  EXPECT_TRUE(things_.Add(NewThing(999, u"last")));
  EXPECT_FALSE(things_.Add(std::make_shared<clsThing>()));
  EXPECT_EQ(things_.Count(), 1);
}

TEST_F(Catalogue, SearchIgnoresCaseAndTakesTheFirst) {
  things_.Add(NewThing(3, u"Road"));
  things_.Add(NewThing(1, u"ROAD"));
  EXPECT_EQ(things_.Search(u"road"), 3);
  EXPECT_EQ(things_.Search(u"ｒｏａｄ"), -1);
  EXPECT_EQ(things_.Search(u"river"), -1);
}

TEST_F(Catalogue, ModifyAsksEveryThingAndFalseClearsThem) {
  auto t = NewThing(1, u"a");
  things_.Add(t);
  things_.Modify(false);
  EXPECT_FALSE(t->Modify());
  t->Fore(5);
  EXPECT_TRUE(things_.Modify());
  t->Modify(false);
  EXPECT_TRUE(things_.Modify());  // the catalogue remembered it
  things_.Modify(false);
  t->Use(true);
  things_.ResetUse();
  EXPECT_FALSE(t->Use());
}

TEST_F(Catalogue, ReadsSectionsAsTheWriterWritesThem) {
  ASSERT_EQ(LoadLines({u"[COMMENT]", u"first line", u"  second line", u"", u"[CATEGORY]",
                       u"1,\"道路\"", u"20,\"二十\"", u"", u"[THING]", u"NUMBER=4",
                       u"FIGURE=POLYLINE", u"NAME=\"道\"", u"CATEGORY=1", u"WIDTH=3", u""}),
            0);
  EXPECT_EQ(things_.Comment(), u"first line\r\n  second line");
  EXPECT_EQ(things_.CategoryName(1), u"道路");
  EXPECT_EQ(things_.CategoryName(20), u"二十");
  ASSERT_EQ(things_.Count(), 1);
  EXPECT_EQ(things_.Item(4)->Name(), u"道");
  EXPECT_EQ(things_.Item(4)->Size(), 3);
  EXPECT_FALSE(things_.Modify());
  EXPECT_FALSE(things_.LockMode());
}

TEST_F(Catalogue, ReaderAcceptsHeaderVariants) {
  ASSERT_EQ(LoadLines({u"stray line", u"  [thing=12]  ", u"NAME=twelve", u"", u"[THING=5]",
                       u"NUMBER=7", u"", u"[THINGS]", u"NAME=next", u"", u"[LINK]", u"[THING]",
                       u"NUMBER=99", u"", u"[NATION]", u"x", u"", u"[Thing]", u"NUMBER=",
                       u"NAME=free"}),
            0);
  EXPECT_EQ(Numbers(things_), (std::vector<int16_t>{12, 7, 13, 14}));
  EXPECT_EQ(things_.Item(12)->Name(), u"twelve");
  EXPECT_EQ(things_.Item(13)->Name(), u"next");
  EXPECT_EQ(things_.Item(14)->Name(), u"free");
  EXPECT_EQ(things_.Item(99), nullptr);
}

// Hand-written files often leave out the blank line between things: the next header still
// starts a thing, and a number taken twice is still found.
TEST_F(Catalogue, ThingBlocksWithoutBlankLinesBetweenThemAreEachRead) {
  ASSERT_EQ(LoadLines({u"[THING]", u"NUMBER=0", u"NAME=x", u"[THING]", u"NUMBER=1", u"NAME=y",
                       u"[CATEGORY]", u"3,roads"}),
            0);
  EXPECT_EQ(Numbers(things_), (std::vector<int16_t>{0, 1}));
  EXPECT_EQ(things_.Item(1)->Name(), u"y");
  EXPECT_EQ(things_.CategoryName(3), u"roads");
  EXPECT_THROW(LoadLines({u"[THING]", u"NUMBER=4", u"[THING]", u"NUMBER=4"}), Error);
}

// A second block with a number already taken would replace the first thing without a word,
// and a number no thing can have would be renumbered or end in a bare overflow: the load is
// refused, naming the line and its text.
TEST_F(Catalogue, TakenAndOutOfRangeNumbersAreRefusedNamingTheLine) {
  struct Case {
    std::vector<std::u16string> lines;
    std::u16string where;
  };
  const Case cases[] = {
      {{u"[THING]", u"NUMBER=5", u"NAME=a", u"", u"[THING]", u"NUMBER=6", u"", u"[THING]",
        u"NUMBER=5", u"NAME=b", u""},
       u"(Line:9: NUMBER=5)"},
      {{u"[THING=5]", u"NAME=a", u"", u"[THING=5]", u"NAME=b"}, u"(Line:4: [THING=5])"},
      {{u"[THING]", u"NAME=a", u"NUMBER=70000"}, u"(Line:3: NUMBER=70000)"},
      {{u"[THING]", u"NUMBER=1000"}, u"(Line:2: NUMBER=1000)"},
      {{u"[THING=-1]", u"NAME=a"}, u"(Line:1: [THING=-1])"},
  };
  for (const Case& c : cases) {
    try {
      LoadLines(c.lines);
      ADD_FAILURE() << "loaded " << ToUtf8(c.where);
    } catch (const Error& e) {
      EXPECT_NE(e.Description().find(c.where), std::u16string::npos) << ToUtf8(e.Description());
    }
    EXPECT_EQ(things_.Count(), 0);
  }
}

// A thing file a text editor saved in UTF-8: the byte order mark hid the first section, and
// the rest read as code page 932 gave garbled names. Plain ASCII still reads as code page 932.
TEST_F(Catalogue, Utf8FileReadsAsItsTextWithOrWithoutTheByteOrderMark) {
  const std::string utf8 = ToUtf8(
      u"[COMMENT]\r\npicmap 画像変換用の事象ファイル (雛形)\r\n\r\n[CATEGORY]\r\n1,\"画像\"\r\n"
      u"2,\"その他\"\r\n\r\n[THING]\r\nNUMBER=0\r\nNAME=\"画像ポリゴン\"\r\n\r\n");
  for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
    WriteBytes(path_, mark + utf8);
    things_.FileName(FromUtf8(path_));
    ASSERT_EQ(things_.Load(), 0);
    EXPECT_EQ(things_.Comment(), u"picmap 画像変換用の事象ファイル (雛形)");
    EXPECT_EQ(things_.CategoryName(2), u"その他");
    EXPECT_EQ(things_.Search(u"画像ポリゴン"), 0);
  }
}

TEST_F(Catalogue, CategoryLinesNeedExactlyTwoTokensAndAValidNumber) {
  ASSERT_EQ(LoadLines({u"[CATEGORY]", u"21,\"x\"", u"0,\"y\"", u"2,\"a\",\"b\"", u"3", u"4,四",
                       u"5,\"五, 伍\"", u"[COMMENT]"}),
            0);
  for (int16_t n : {1, 2, 3}) EXPECT_EQ(things_.CategoryName(n), u"") << n;
  EXPECT_EQ(things_.CategoryName(4), u"四");
  EXPECT_EQ(things_.CategoryName(5), u"五, 伍");
  EXPECT_EQ(things_.CategoryName(21), u"");
  EXPECT_EQ(things_.Comment(), u"");
}

TEST_F(Catalogue, CommentAtTheEndKeepsAllItsLines) {
  WriteBytes(path_, ToCp932(u"[COMMENT]\r\nA\nB\r\nC"));  // LF alone also ends a line
  things_.FileName(FromUtf8(path_));
  ASSERT_EQ(things_.Load(), 0);
  EXPECT_EQ(things_.Comment(), u"A\r\nB\r\nC");
}

TEST_F(Catalogue, MissingFileKeepsTheCatalogue) {
  things_.Add(NewThing(1, u"kept"));
  things_.FileName(FromUtf8(folder_ + "/missing.THG"));
  EXPECT_EQ(things_.Load(), 53);
  EXPECT_EQ(things_.Count(), 1);
  ASSERT_EQ(ports_.messages.shown.size(), 1u);
  EXPECT_EQ(ports_.messages.shown[0].text,
            u"事象ファイルが存在しません.\r\n" + FromUtf8(folder_ + "/missing.THG"));
  EXPECT_EQ(ports_.messages.shown[0].icon, MsgIcon::Error);
}

TEST_F(Catalogue, SavesTheExactFormat) {
  things_.FileName(FromUtf8(path_));
  things_.Comment(u"line 1\r\nline 2");
  things_.CategoryName(2, u"水系");
  auto t = NewThing(7, u"川", 1);
  t->Category(2);
  things_.Add(t);
  ASSERT_EQ(things_.Save(), 0);
  EXPECT_EQ(ReadBytes(path_), Cp932Lines({u"[COMMENT]", u"line 1", u"line 2", u"", u"[CATEGORY]",
                                          u"2,\"水系\"", u"", u"[THING]", u"NUMBER=7",
                                          u"FIGURE=REM", u"NAME=\"川\"", u"CATEGORY=2", u""}));
  EXPECT_FALSE(things_.Modify());
  EXPECT_FALSE(t->Modify());
  EXPECT_TRUE(LeftOvers().empty());
}

TEST_F(Catalogue, EmptyCatalogueStillWritesTheCategorySection) {
  things_.FileName(FromUtf8(path_));
  ASSERT_EQ(things_.Save(), 0);
  EXPECT_EQ(ReadBytes(path_), "[CATEGORY]\r\n\r\n");
}

TEST_F(Catalogue, ThingThatLostItsNumberIsLeftOut) {
  things_.FileName(FromUtf8(path_));
  things_.Add(NewThing(1, u"cleared"));
  things_.Add(NewThing(2, u"kept"));
  things_.Item(1)->Clear();
  ASSERT_EQ(things_.Save(), 0);
  clsThings back;
  back.FileName(FromUtf8(path_));
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(Numbers(back), std::vector<int16_t>{2});
  EXPECT_EQ(back.Item(2)->Name(), u"kept");
}

TEST_F(Catalogue, UnchangedCatalogueDoesNotTouchTheFile) {
  ASSERT_EQ(LoadLines({u"[THING]", u"NUMBER=1"}), 0);
  const auto stamp = fs::last_write_time(path_);
  WriteBytes(path_, "changed behind our back");
  fs::last_write_time(path_, stamp);
  EXPECT_EQ(things_.Save(), 0);
  EXPECT_EQ(ReadBytes(path_), "changed behind our back");
  things_.FileName(FromUtf8(folder_ + "/copy.MLL"));
  EXPECT_EQ(things_.Save(), 0);
  EXPECT_TRUE(fs::exists(folder_ + "/copy.THG"));
}

TEST_F(Catalogue, ReadOnlyFileLocksTheCatalogue) {
  WriteBytes(path_, Cp932Lines({u"[THING]", u"NUMBER=1", u"NAME=one"}));
  fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  things_.FileName(FromUtf8(path_));
  ASSERT_EQ(things_.Load(), 0);
  EXPECT_TRUE(things_.LockMode());
  EXPECT_FALSE(things_.Modify());
  EXPECT_FALSE(things_.Add(NewThing(2, u"two")));
  EXPECT_FALSE(things_.Remove(1));
  things_.ClearAll();
  things_.Comment(u"c");
  things_.CategoryName(1, u"x");
  const std::u16string file = FromUtf8(path_);
  std::vector<std::u16string> texts;
  for (const auto& m : ports_.messages.shown) texts.push_back(m.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{
                       file + u"\r\nは変更禁止. [Add]", file + u"\r\nは変更禁止. [Remove]",
                       file + u"\r\nは変更禁止. [ClearAll]", file + u"\r\nは変更禁止. [Comment]",
                       file + u"\r\nは変更禁止. [CategoryName]"}));
  EXPECT_EQ(things_.Count(), 1);
  EXPECT_EQ(things_.Comment(), u"");

  // Changing a thing directly still makes the catalogue want to save: the file refuses.
  things_.Item(1)->Name(u"uno");
  ports_.messages.shown.clear();
  EXPECT_EQ(things_.Save(), 70);
  ASSERT_EQ(ports_.messages.shown.size(), 1u);
  EXPECT_EQ(ports_.messages.shown[0].text, file + u"\r\nは読み取り専用ファイルです.");
  EXPECT_EQ(ReadBytes(path_), Cp932Lines({u"[THING]", u"NUMBER=1", u"NAME=one"}));

  things_.FileName(FromUtf8(folder_ + "/other.THG"));
  EXPECT_FALSE(things_.LockMode());
  EXPECT_TRUE(things_.Add(NewThing(2, u"two")));
}

TEST_F(Catalogue, NumberErrorInABlockEmptiesTheCatalogueAndIsPassedUp) {
  things_.Add(NewThing(1, u"old"));
  try {
    LoadLines({u"[THING]", u"NUMBER=2", u"", u"[THING]", u"STYLE=99999"});
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kOverflow);
    EXPECT_EQ(e.Source().rfind(u"clsThings.Load/clsThing.ReadThing/", 0), 0u);
  }
  EXPECT_EQ(things_.Count(), 0);
  ASSERT_EQ(ports_.messages.shown.size(), 1u);
  EXPECT_EQ(ports_.messages.shown[0].title, u"その他エラー");
}

TEST_F(Catalogue, FileErrorGivenUpReturnsItsNumber) {
  things_.Add(NewThing(1, u"old"));
  things_.AssignFileName(FromUtf8(folder_));
  EXPECT_EQ(things_.Load(), 75);  // a folder cannot be read as a file
  EXPECT_EQ(things_.Count(), 0);
  EXPECT_EQ(ports_.messages.shown.back().title, u"ドライブ関連エラー");
}

TEST_F(Catalogue, CancelPassesTheSaveErrorUp) {
  things_.FileName(FromUtf8(folder_ + "/no/such/folder/x.THG"));
  things_.Add(NewThing(1, u"a"));
  ports_.messages.answers.push_back(MsgAnswer::Cancel);
  try {
    things_.Save();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 53);
    EXPECT_EQ(e.Source().rfind(u"clsThings.Save/", 0), 0u);
  }
  EXPECT_TRUE(things_.Modify());
}

// Answers the retry question after making the failed statement possible.
class FolderMakingBox : public MessageBoxPort {
 public:
  explicit FolderMakingBox(std::string folder) : folder_(std::move(folder)) {}
  MsgAnswer Show(const std::u16string&, const std::u16string&, MsgButtons, MsgIcon) override {
    ++asked;
    fs::create_directories(folder_);
    return MsgAnswer::Yes;
  }
  int asked = 0;

 private:
  std::string folder_;
};

TEST_F(Catalogue, RetryRunsTheFailedStatementAgain) {
  const std::string later = folder_ + "/later";
  FolderMakingBox box(later);
  MessageBoxPort* old = SetMessageBoxPort(&box);
  things_.FileName(FromUtf8(later + "/x.THG"));
  things_.Add(NewThing(1, u"a"));
  const int32_t result = things_.Save();
  SetMessageBoxPort(old);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(box.asked, 1);
  EXPECT_TRUE(fs::exists(later + "/x.THG"));
}

TEST_F(Catalogue, FailedWriteLeavesTheOldFileIntact) {
  const std::string old = Cp932Lines({u"[CATEGORY]", u"1,\"old\"", u"", u"[THING]", u"NUMBER=1", u""});
  WriteBytes(path_, old);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Any file this process writes may hold 200 bytes; the new catalogue needs far more.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{200, 200};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ScopedScriptedPorts ports;
    ports.messages.answers.push_back(MsgAnswer::No);
    clsThings big;
    big.FileName(FromUtf8(path_));
    for (int16_t n = 0; n < 50; ++n) big.Add(NewThing(n, u"a long name for a thing"));
    _exit(big.Save());
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 61);  // disk full
  EXPECT_EQ(ReadBytes(path_), old);
  EXPECT_TRUE(LeftOvers().empty());
}

TEST_F(Catalogue, HandEditedFileIsKeptUnderTheBackupNameAndAnEqualOneIsNot) {
  things_.FileName(FromUtf8(path_));
  things_.Add(NewThing(1, u"a"));
  ASSERT_EQ(things_.Save(), 0);
  const std::string saved = ReadBytes(path_);
  things_.Modify(true);
  ASSERT_EQ(things_.Save(), 0);  // the same content again: nothing to keep
  EXPECT_TRUE(LeftOvers().empty());
  WriteBytes(path_, saved + Cp932Lines({u"[THING]", u"NUMBER=2", u"NAME=\"edited\""}));
  const std::string edited = ReadBytes(path_);
  things_.Modify(true);
  ASSERT_EQ(things_.Save(), 0);
  EXPECT_EQ(ReadBytes(path_), saved);
  EXPECT_EQ(LeftOvers(), std::vector<std::string>{"cat-2026-12-07-4-52-01.THG"});
  EXPECT_EQ(ReadBytes(folder_ + "/cat-2026-12-07-4-52-01.THG"), edited);
}

TEST_F(Catalogue, FolderAsTargetAndReadOnlyFolderLeaveEverythingAsItWas) {
  const std::string old = Cp932Lines({u"[CATEGORY]", u""});
  WriteBytes(path_, old);
  things_.FileName(FromUtf8(path_));
  things_.Add(NewThing(1, u"a"));
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                               fs::perms::others_exec);
  {
    test::ScopedOrdinaryUser user;
    EXPECT_EQ(things_.Save(), 75);
  }
  fs::permissions(folder_, fs::perms::owner_all);
  EXPECT_EQ(ReadBytes(path_), old);
  EXPECT_TRUE(LeftOvers().empty());
  fs::create_directory(folder_ + "/dir.THG");
  things_.FileName(FromUtf8(folder_ + "/dir.THG"));
  EXPECT_EQ(things_.Save(), 75);
  EXPECT_EQ(LeftOvers(), std::vector<std::string>{"dir.THG"});
}

TEST_F(Catalogue, SaveKeepsThePermissionsOfTheFileItReplaces) {
  WriteBytes(path_, "");
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  things_.FileName(FromUtf8(path_));
  things_.Add(NewThing(1, u"a"));
  ASSERT_EQ(things_.Save(), 0);
  EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(Catalogue, SaveThroughASymbolicLinkReplacesTheFileItNames) {
  const std::string real = folder_ + "/real.THG";
  WriteBytes(real, "");
  fs::create_symlink(real, path_);
  things_.FileName(FromUtf8(path_));
  things_.Add(NewThing(1, u"a"));
  ASSERT_EQ(things_.Save(), 0);
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_NE(ReadBytes(real).find("NUMBER=1"), std::string::npos);
}

TEST_F(Catalogue, SaveAndLoadGiveTheSameCatalogue) {
  things_.FileName(FromUtf8(path_));
  things_.Comment(u"記号");
  things_.CategoryName(3, u"c, 3");
  auto text = NewThing(9, u"注記", 5);
  text->Page(4);
  text->Japanese(u"ＭＳ ゴシック");
  text->Page(8);  // an empty last text must not take the text of the page before it
  text->Japanese(u"");
  things_.Add(text);
  things_.Add(NewThing(0, u"zero", 2));
  ASSERT_EQ(things_.Save(), 0);
  clsThings back;
  back.FileName(FromUtf8(path_));
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(back.Comment(), u"記号");
  EXPECT_EQ(back.CategoryName(3), u"c, 3");
  EXPECT_EQ(Numbers(back), (std::vector<int16_t>{9, 0}));
  for (int16_t n = 1; n <= 8; ++n) {
    EXPECT_EQ(back.Item(9)->PageRecord(n), text->PageRecord(n)) << n;
  }
  EXPECT_EQ(back.Item(0)->Figure(), 2);
}

}  // namespace
}  // namespace picmap
