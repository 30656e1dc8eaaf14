// Loading and saving whole map files: every readable version, the failures with their
// messages, backups, progress and the retry through the file-error dialog.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map_helpers.h"
#include "support/errors.h"
#include "support/platform.h"

namespace picmap {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

std::shared_ptr<clsMapPolygon> Polygon(int32_t size, int32_t color = -1) {
  auto p = std::make_shared<clsMapPolygon>();
  p->Admin(0);
  p->Thing(1);
  p->OwnColor(color);
  p->Poly()->SetRect(0, 0, size, size);
  return p;
}

// One remark, one 5-point polygon and one symbol in the layouts of the version.
Bytes& AddFigures(Bytes& b, int32_t ver) {
  const std::u16string comment = u"# 種別：テスト";
  const std::string text = ToCp932(comment);
  auto points = [](Bytes& x) {
    for (auto [px, py] : {std::pair{0, 0}, {9, 0}, {9, 9}, {0, 9}, {0, 0}}) x.I32(px).I32(py);
  };
  if (ver >= 106) {
    b.I16(1).I32(30 + static_cast<int32_t>(text.size())).F64(1.5e14).I16(1).I16(-1).I32(-1).U8(0).U8(0)
        .I32(0).I16(static_cast<int32_t>(text.size())).Raw(text);
    b.I16(3).I32(72).F64(2.5e14).I16(2).I16(3).I32(0xABCDEF).U8(2).U8(4).I32(11).I32(5);
    points(b);
    b.I16(4).I32(36).F64(3.5e14).I16(4).I16(5).I32(-1).U8(0).U8(0).I32(0).I32(-7).I32(8);
    return b;
  }
  b.I16(1).I16(1);
  if (ver == 105) b.I16(-1).I32(0);
  b.I16(static_cast<int32_t>(comment.size())).Raw(text);
  if (ver == 104) b.I32(0);
  b.I16(3).I16(2).I16(3);
  if (ver == 105) b.I32(0x4000000 | 0xABCDEF | (4 << 27) | (2 << 24));
  b.I16(5);
  points(b);
  if (ver == 104) b.I32(0);
  b.I16(4).I16(4).I16(5);
  if (ver == 105) b.I32(0x01000000);
  b.I32(-7).I32(8);
  if (ver == 104) b.I32(0);
  return b;
}

class MapFileTest : public ::testing::Test {
 protected:
  int32_t LoadBytes(const std::string& bytes) {
    WriteFileBytes(dir.Path("m.MLL"), bytes);
    map.FileName(dir.File("m.MLL"));
    return map.Load();
  }
  // Loads and expects the error to be passed up; returns it.
  Error LoadFailure(const std::string& bytes) {
    try {
      LoadBytes(bytes);
    } catch (const Error& e) {
      return e;
    }
    ADD_FAILURE() << "no error passed up";
    return Error(0, u"", u"");
  }
  void ExpectTheThreeFigures(int32_t ver) {
    ASSERT_EQ(map.Count(), 3) << ver;
    auto rem = std::dynamic_pointer_cast<clsMapRem>(map.Item(1));
    ASSERT_NE(rem, nullptr);
    EXPECT_EQ(rem->Key(), u"種別");
    EXPECT_EQ(rem->Admin(), 1);
    auto polygon = map.Item(2);
    EXPECT_EQ(polygon->FigCode(), 3);
    EXPECT_EQ(polygon->Poly()->Count(), 5);
    EXPECT_EQ(polygon->Thing(), 3);
    EXPECT_EQ(polygon->OwnColor(), ver >= 105 ? 0xABCDEF : -1) << ver;
    EXPECT_EQ(polygon->JumpMark(), ver >= 105 ? 4 : 0) << ver;
    EXPECT_EQ(polygon->OwnShowMode(), ver >= 105 ? 1 : -1) << ver;
    EXPECT_EQ(polygon->Reserve(), ver >= 106 ? 11 : 0) << ver;
    if (ver >= 106) {
      EXPECT_EQ(polygon->FigID(), 2.5e14);
    }
    auto symbol = std::dynamic_pointer_cast<clsMapSymbol>(map.Item(3));
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->GetSymbolPoint(), (PolyPoint{-7, 8}));
    EXPECT_EQ(map.Version(), ver);
    EXPECT_FALSE(map.Modify());
    EXPECT_FALSE(map.CanUndo());
    EXPECT_TRUE(map.EiUndo());
    EXPECT_FALSE(map.LockMode());
  }
  void ExpectOtherErrorMessage(const std::u16string& description) {
    ASSERT_FALSE(ports.messages.shown.empty());
    const ShownMessage& m = ports.messages.shown.back();
    EXPECT_EQ(m.title, u"その他エラー");
    EXPECT_NE(m.text.find(u"*Source=clsMap.Load/"), std::u16string::npos) << ToUtf8(m.text);
    EXPECT_NE(m.text.find(u"*Description=" + description + u"\r\n"), std::u16string::npos)
        << ToUtf8(m.text);
    EXPECT_NE(m.text.find(u"*File=" + dir.File("m.MLL")), std::u16string::npos);
  }
  std::shared_ptr<clsMapRem> RemarkAt(int32_t i) {
    return std::dynamic_pointer_cast<clsMapRem>(map.Item(i));
  }

  ScopedScriptedPorts ports;
  test::ScratchFolder dir;
  clsMap map;
};

TEST_F(MapFileTest, ReadsEveryVersionFromOneOOneToOneOSix) {
  for (int32_t ver = 100; ver <= 106; ++ver) {
    const std::string text = ver == 100 ? "1.00" : "1.0" + std::to_string(ver - 100);
    Bytes b;
    b.Header(text);
    ASSERT_EQ(LoadBytes(AddFigures(b, ver).str()), 0) << ver;
    ExpectTheThreeFigures(ver);
  }
  EXPECT_TRUE(ports.messages.shown.empty());
}

TEST_F(MapFileTest, ReadsVersionZeroNinetyNineWithItsProjectionRemark) {
  Bytes b;
  b.OldRemark(u"[投影条件]", 3);
  ASSERT_EQ(LoadBytes(AddFigures(b, 99).str()), 0);
  ASSERT_EQ(map.Count(), 4);
  EXPECT_EQ(RemarkAt(1)->Comment(), u"[投影条件]");
  EXPECT_EQ(RemarkAt(1)->Admin(), 3);
  EXPECT_EQ(map.Version(), 99);
  EXPECT_EQ(map.Item(4)->FigCode(), 4);
}

// What loads must save and load again: a projection remark the writer could not store is
// refused on reading like any other invalid figure.
TEST_F(MapFileTest, ProjectionRemarkOutOfRangeIsInvalidContent) {
  Bytes b;
  b.OldRemark(u"[投影条件]", 1000);
  const Error e = LoadFailure(AddFigures(b, 99).str());
  EXPECT_EQ(e.Number(), err::kMapElement);
  EXPECT_EQ(e.Description(), u"不正な図形内容(Line:0, Figure:1)/");
  EXPECT_EQ(map.Count(), 0);
}

TEST_F(MapFileTest, OnePolygonOfFourPointsInVersion106IsNinetyFiveBytes) {
  Bytes b;
  b.Header("1.06").I16(3).I32(64).F64(1).I16(0).I16(0).I32(-1).U8(0).U8(0).I32(0).I32(4);
  for (auto [x, y] : {std::pair{0, 0}, {5, 0}, {5, 5}, {0, 0}}) b.I32(x).I32(y);
  ASSERT_EQ(b.size(), 95u);
  ASSERT_EQ(LoadBytes(b.str()), 0);
  ASSERT_EQ(map.Count(), 1);
  EXPECT_EQ(map.Item(1)->Poly()->Count(), 4);
}

TEST_F(MapFileTest, SavedFileStartsWithTheHeaderAndReadsBack) {
  map.FileName(dir.File("japan.MLL"));
  ASSERT_TRUE(map.Add(NewRemark(u"# 地図バージョン：1.06")));
  ASSERT_TRUE(map.Add(Polygon(4, 0x00FF00)));
  auto text = std::make_shared<clsMapText>();
  text->Admin(0);
  text->Thing(2);
  text->TextUnicode(1, u"Co^te");
  text->TextUnicode(2, u"海岸");
  ASSERT_TRUE(map.Add(text));
  ASSERT_EQ(map.Save(), 0);
  EXPECT_FALSE(map.Modify());
  EXPECT_FALSE(map.CanUndo());
  EXPECT_TRUE(map.EiUndo());
  const std::string bytes = ReadFileBytes(dir.Path("japan.MLL"));
  EXPECT_EQ(bytes.substr(0, 31), Bytes().Header("1.06").str());
  // The last-update line went in at position 2.
  ASSERT_EQ(map.Count(), 4);
  EXPECT_EQ(RemarkAt(2)->Comment(), u"# 最終更新日時　　：2026/12/07 4:52:01");

  clsMap back;
  back.FileName(dir.File("japan.MLL"));
  ASSERT_EQ(back.Load(), 0);
  ASSERT_EQ(back.Count(), 4);
  for (int32_t i = 1; i <= 4; ++i) {
    EXPECT_EQ(back.Item(i)->FigCode(), map.Item(i)->FigCode());
    EXPECT_EQ(back.Item(i)->FigID(), map.Item(i)->FigID());
  }
  EXPECT_EQ(std::static_pointer_cast<clsMapText>(back.Item(4))->TextUnicode(1), u"Côte");
  EXPECT_EQ(back.Item(3)->OwnColor(), 0x00FF00);
  EXPECT_EQ(back.LastDate().hour, 4);
}

TEST_F(MapFileTest, VersionLineDecidesTheWrittenLayout) {
  map.FileName(dir.File("v105.MLL"));
  ASSERT_TRUE(map.Add(Polygon(3)));
  map.Version(105);
  ASSERT_EQ(map.Save(), 0);
  const std::string bytes = ReadFileBytes(dir.Path("v105.MLL"));
  EXPECT_EQ(bytes.substr(0, 31), Bytes().Header("1.05").str());
  clsMap back;
  back.FileName(dir.File("v105.MLL"));
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(back.Version(), 105);
  EXPECT_EQ(back.Count(), 3);  // version line, last-update line, polygon
}

TEST_F(MapFileTest, DocumentsFromFilesBeforeOneOFourAreSavedAsOneOSix) {
  Bytes b;
  b.Header("1.02");
  ASSERT_EQ(LoadBytes(AddFigures(b, 102).str()), 0);
  EXPECT_EQ(map.Version(), 102);
  map.Modify(true);
  ASSERT_EQ(map.Save(), 0);
  EXPECT_EQ(map.Version(), 106);
  clsMap back;
  back.FileName(map.FileName());
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(back.Version(), 106);
  EXPECT_EQ(back.Count(), 4);
  EXPECT_EQ(back.Item(3)->Poly()->Count(), 5);
}

TEST_F(MapFileTest, MissingFileIsReportedAndLeavesTheDocument) {
  ASSERT_TRUE(map.Add(NewRemark(u"keep")));
  map.FileName(dir.File("none.MLL"));
  EXPECT_EQ(map.Load(), 53);
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].text, u"地図図形ファイルが存在しません.\r\n" + dir.File("none.MLL"));
  EXPECT_EQ(map.Count(), 1);
}

TEST_F(MapFileTest, VersionErrorsArePassedUp) {
  struct Case {
    std::string bytes;
    std::u16string description;
  };
  const std::u16string unknown = u"地図バージョン確認不能/";
  const std::vector<Case> cases = {
      {"", unknown},
      {Bytes().Header("1.07").str(),
       u"地図バージョンがアプリケーションの対応範囲を超えています.アップグレードしてください./"},
      {Bytes().Header("0.98").str(), unknown},
      {Bytes().OldRemark(u"Map File Version 1").str(), unknown},
      {Bytes().I16(3).I16(0).I16(0).I16(0).str(), unknown},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(map.Add(NewRemark(u"old")));
    map.EiUndo(false);
    const Error e = LoadFailure(c.bytes);
    EXPECT_EQ(e.Number(), err::kMapVersion);
    EXPECT_EQ(e.Description(), c.description);
    EXPECT_EQ(e.Source().rfind(u"clsMap.Load/clsMap.Load/", 0), 0u) << ToUtf8(e.Source());
    ExpectOtherErrorMessage(c.description);
    EXPECT_EQ(map.Count(), 0);
    EXPECT_TRUE(map.EiUndo());  // recording is on again after the failure
  }
}

TEST_F(MapFileTest, UnknownFigureCodeNamesLineAndFigure) {
  Bytes b;
  b.Header("1.06");
  AddFigures(b, 106).I16(9).I32(0);
  const Error e = LoadFailure(b.str());
  EXPECT_EQ(e.Number(), err::kMapElement);
  EXPECT_EQ(e.Description(), u"不正な図形コード(Line:4, Figure:9)/");
  ExpectOtherErrorMessage(u"不正な図形コード(Line:4, Figure:9)/");
  EXPECT_EQ(map.Count(), 0);
}

TEST_F(MapFileTest, PolygonOfThreePointsIsInvalidContent) {
  Bytes b;
  b.Header("1.04").OldRemark(u"x").I32(0);
  b.I16(3).I16(0).I16(0).I16(3).I32(0).I32(0).I32(1).I32(0).I32(0).I32(0).I32(0);
  const Error e = LoadFailure(b.str());
  EXPECT_EQ(e.Number(), err::kMapElement);
  EXPECT_EQ(e.Description(), u"不正な図形内容(Line:2, Figure:3)/");
  EXPECT_EQ(map.Count(), 0);
}

TEST_F(MapFileTest, TrailingOddByteEndsTheFileNormally) {
  Bytes b;
  b.Header("1.06");
  AddFigures(b, 106).U8(7);
  EXPECT_EQ(LoadBytes(b.str()), 0);
  EXPECT_EQ(map.Count(), 3);
}

TEST_F(MapFileTest, TruncatedElementIsTheShortFileErrorReturned) {
  Bytes b;
  b.Header("1.06");
  std::string bytes = AddFigures(b, 106).str();
  bytes.resize(bytes.size() - 3);
  EXPECT_EQ(LoadBytes(bytes), err::kInputPastEnd);
  EXPECT_EQ(map.Count(), 0);
  EXPECT_EQ(ports.messages.shown.back().title, u"ドライブ関連エラー");
  EXPECT_EQ(ports.messages.shown.back().buttons, MsgButtons::Ok);
  EXPECT_TRUE(map.EiUndo());
}

TEST_F(MapFileTest, CorruptPointCountIsTheShortFileError) {
  Bytes b;
  b.Header("1.06").I16(3).I32(64).F64(1).I16(0).I16(0).I32(-1).U8(0).U8(0).I32(0).I32(0x0FFFFFFF);
  EXPECT_EQ(LoadBytes(b.str()), err::kInputPastEnd);
}

TEST_F(MapFileTest, ProgressWhileLoadingRisesInStepsOfFourToAHundred) {
  Bytes b;
  b.Header("1.06");
  for (int i = 0; i < 100; ++i) AddFigures(b, 106);
  std::vector<int16_t> seen;
  map.Progress = [&](int16_t p) { seen.push_back(p); };
  ASSERT_EQ(LoadBytes(b.str()), 0);
  ASSERT_GE(seen.size(), 10u);
  EXPECT_EQ(seen.back(), 100);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i] % 4, 0);
    if (i > 0 && i + 1 < seen.size()) {
      EXPECT_GT(seen[i], seen[i - 1]);
    }
  }
}

TEST_F(MapFileTest, ProgressWhileSavingIsReportedOncePerStep) {
  map.FileName(dir.File("p.MLL"));
  for (int i = 0; i < 249; ++i) ASSERT_TRUE(map.Add(Polygon(2)));  // 250 with the date line
  std::vector<int16_t> seen;
  map.Progress = [&](int16_t p) { seen.push_back(p); };
  ASSERT_EQ(map.Save(), 0);
  std::vector<int16_t> expected;
  for (int16_t p = 0; p <= 96; p += 4) expected.push_back(p);
  expected.push_back(100);
  EXPECT_EQ(seen, expected);
}

TEST_F(MapFileTest, NothingToSaveWritesNothing) {
  map.FileName(dir.File("n.MLL"));
  map.Modify(true);
  EXPECT_EQ(map.Save(), 0);  // no figures
  ASSERT_TRUE(map.Add(Polygon(2)));
  map.Modify(false);
  EXPECT_EQ(map.Save(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Root()));
}

TEST_F(MapFileTest, SavingOverAFileKeepsItUnderATimeStampedName) {
  map.FileName(dir.File("JAPAN.MLL"));
  WriteFileBytes(dir.Path("JAPAN.MLL"), "previous");
  ASSERT_TRUE(map.Add(Polygon(2)));
  ASSERT_EQ(map.Save(), 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("JAPAN-2026-12-07-4-52-01.MLL")), "previous");
  EXPECT_EQ(ReadFileBytes(dir.Path("JAPAN.MLL")).substr(0, 31), Bytes().Header("1.06").str());
}

TEST_F(MapFileTest, SecondSaveInTheSameSecondFindsTheBackupNameTaken) {
  map.FileName(dir.File("JAPAN.MLL"));
  ASSERT_TRUE(map.Add(Polygon(2)));
  ASSERT_EQ(map.Save(), 0);
  ASSERT_EQ(map.Save(), 0);  // not modified: nothing happens
  ASSERT_TRUE(map.Add(Polygon(3)));
  const std::string before = ReadFileBytes(dir.Path("JAPAN.MLL"));
  ASSERT_EQ(map.Save(), 0);  // the first backup
  const std::string second = ReadFileBytes(dir.Path("JAPAN.MLL"));
  ASSERT_TRUE(map.Add(Polygon(4)));
  ports.messages.shown.clear();
  EXPECT_EQ(map.Save(), err::kFileAlreadyExists);
  EXPECT_TRUE(map.Modify());
  EXPECT_TRUE(map.EiUndo());
  EXPECT_EQ(ReadFileBytes(dir.Path("JAPAN.MLL")), second);
  EXPECT_EQ(ReadFileBytes(dir.Path("JAPAN-2026-12-07-4-52-01.MLL")), before);
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(ports.messages.shown[0].title, u"ドライブ関連エラー");
}

TEST_F(MapFileTest, ReadOnlyFileIsRefusedAndTheDocumentStaysModified) {
  map.FileName(dir.File("ro.MLL"));
  WriteFileBytes(dir.Path("ro.MLL"), "x");
  ::chmod(dir.Path("ro.MLL").c_str(), 0444);
  ASSERT_TRUE(map.Add(Polygon(2)));
  EXPECT_EQ(map.Save(), err::kPermissionDenied);
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].text, dir.File("ro.MLL") + u"\r\nは読み取り専用ファイルです.");
  EXPECT_TRUE(map.Modify());
  EXPECT_TRUE(map.CanUndo());
  EXPECT_EQ(map.Save(), err::kPermissionDenied);  // still refused, not silently "saved"
  EXPECT_EQ(ReadFileBytes(dir.Path("ro.MLL")), "x");
}

TEST_F(MapFileTest, LoadingAReadOnlyFileLocksTheDocument) {
  Bytes b;
  b.Header("1.06");
  WriteFileBytes(dir.Path("lock.MLL"), AddFigures(b, 106).str());
  ::chmod(dir.Path("lock.MLL").c_str(), 0444);
  map.FileName(dir.File("lock.MLL"));
  ASSERT_EQ(map.Load(), 0);
  EXPECT_TRUE(map.LockMode());
  EXPECT_FALSE(map.Modify());
  EXPECT_FALSE(map.Add(Polygon(2)));
}

// Answers the first file-error dialog by creating the missing folder and asking for a retry.
class FolderMakingMessageBox : public MessageBoxPort {
 public:
  explicit FolderMakingMessageBox(std::filesystem::path folder) : folder_(std::move(folder)) {}
  MsgAnswer Show(const std::u16string& text, const std::u16string&, MsgButtons buttons,
                 MsgIcon) override {
    texts.push_back(text);
    if (buttons != MsgButtons::YesNoCancel) return MsgAnswer::Ok;
    std::filesystem::create_directories(folder_);
    return MsgAnswer::Yes;
  }
  std::vector<std::u16string> texts;

 private:
  std::filesystem::path folder_;
};

TEST_F(MapFileTest, RetryRunsTheFailedWriteAgain) {
  FolderMakingMessageBox box(dir.Path("later"));
  MessageBoxPort* old = SetMessageBoxPort(&box);
  map.FileName(dir.File("later/x.MLL"));
  ASSERT_TRUE(map.Add(Polygon(2)));
  const int32_t result = map.Save();
  SetMessageBoxPort(old);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(box.texts.size(), 1u);
  EXPECT_NE(box.texts[0].find(u"再試行しますか？"), std::u16string::npos);
  clsMap back;
  back.FileName(dir.File("later/x.MLL"));
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(back.Count(), 2);
}

TEST_F(MapFileTest, CancelInTheDialogPassesTheSaveErrorUp) {
  ports.messages.answers = {MsgAnswer::Cancel};
  map.FileName(dir.File("missing/x.MLL"));
  ASSERT_TRUE(map.Add(Polygon(2)));
  try {
    map.Save();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kFileNotFound);
    EXPECT_EQ(e.Source().rfind(u"clsMap.Save/", 0), 0u);
  }
  EXPECT_TRUE(map.EiUndo());
  ports.messages.answers = {MsgAnswer::No};
  EXPECT_EQ(map.Save(), err::kFileNotFound);
}

}  // namespace
}  // namespace picmap
