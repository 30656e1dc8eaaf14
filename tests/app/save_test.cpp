// Saving: the dialog, the three name lines, both files, and the failure paths.
#include <sys/stat.h>

#include "../fault_injection.h"
#include "app_fixture.h"
#include "map_reading.h"
#include "support/library.h"
#include "things/clsThings.h"

namespace picmap::test {
namespace {

class SaveTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(logic->Form_Load());
    logic->MutableState().backColor = 0xFFFFFF;
    Picture p(16, 16, 0xFFFFFF);
    p.Set(2, 2, 0x0000FF);
    Open(p);
    SetExtents(0, 1600, 1600, 0);
    logic->mnuPolygon_Click();
    ASSERT_EQ(win.LastMessage(), frmtext::kPolygonDone);
    win.messages.clear();
  }
  clsMap& Map() { return *logic->State().oMap; }
  bool Exists(const std::string& name) { return std::filesystem::exists(folder.Path() / name); }
  void SaveAs(const std::u16string& path) {
    win.saveAnswers.push_back(path);
    logic->mnuSave_Click();
  }
};

TEST_F(SaveTest, WritesBothFilesAndNamesThemInTheHeader) {
  const std::filesystem::path out = folder.Path() / "out";
  std::filesystem::create_directory(out);
  SaveAs(FromUtf8((out / "japan.MLL").string()));
  ASSERT_EQ(win.saveRequests.size(), 1u);
  EXPECT_EQ(win.saveRequests[0].title, u"地図ファイル名を指定する");
  EXPECT_EQ(win.saveRequests[0].filter, u"経緯度地図ﾌｧｲﾙ(*.MLL)|*.MLL|");
  EXPECT_EQ(win.saveRequests[0].fileName, folder.File("japan.MLL"));
  ASSERT_EQ(win.messages.size(), 1u);
  EXPECT_EQ(win.LastMessage(), u"保存に成功しました.");
  EXPECT_FALSE(win.messages[0].errorIcon);
  EXPECT_TRUE(logic->LastSaveSucceeded());
  EXPECT_TRUE(std::filesystem::exists(out / "japan.MLL"));
  EXPECT_TRUE(std::filesystem::exists(out / "japan.THG"));
  // The map inserted its last-update line at position 2; the name lines moved down by one.
  EXPECT_EQ(CommentAt(Map(), 2), u"# 最終更新日時　　：2026/12/07 4:52:01");
  EXPECT_EQ(CommentAt(Map(), 9), u"# 欧文地図名　　　：japan");
  EXPECT_EQ(CommentAt(Map(), 11), u"# 地図ファイル名　：japan.MLL");
  EXPECT_EQ(CommentAt(Map(), 12), u"# 事象ファイル名　：japan.THG");
  EXPECT_EQ(win.progressMax, 100);
  EXPECT_EQ(win.progressValue, 100);
  EXPECT_EQ(ScreenMousePointerDepth(), 0);

  // The file read back holds the same header and the rectangle.
  clsMap back;
  back.FileName(FromUtf8((out / "japan.MLL").string()));
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(RemarksOf(back), RemarksOf(Map()));
  EXPECT_EQ(RectsOf(back), RectsOf(Map()));
}

TEST_F(SaveTest, SecondSaveRewritesTheSameThreeLines) {
  SaveAs(folder.File("first.MLL"));
  SaveAs(folder.File("second.MLL"));
  EXPECT_EQ(win.messages.size(), 2u);
  EXPECT_EQ(CommentAt(Map(), 8), u"# 地図コード　　　：108000");
  EXPECT_EQ(CommentAt(Map(), 9), u"# 欧文地図名　　　：second");
  EXPECT_EQ(CommentAt(Map(), 10), u"# 和文地図名　　　：");
  EXPECT_EQ(CommentAt(Map(), 11), u"# 地図ファイル名　：second.MLL");
  EXPECT_EQ(CommentAt(Map(), 12), u"# 事象ファイル名　：second.THG");
  EXPECT_TRUE(Exists("second.THG"));
}

// A name typed without extension names the files the map and the catalogue really write.
TEST_F(SaveTest, NameWithoutExtensionKeepsItsWholeBaseName) {
  SaveAs(folder.File("japan"));
  EXPECT_EQ(win.LastMessage(), u"保存に成功しました.");
  EXPECT_TRUE(Exists("japan.MLL"));
  EXPECT_TRUE(Exists("japan.THG"));
  EXPECT_EQ(CommentAt(Map(), 9), u"# 欧文地図名　　　：japan");
  EXPECT_EQ(CommentAt(Map(), 11), u"# 地図ファイル名　：japan.MLL");
}

TEST_F(SaveTest, CancelledDialogReportsFailure) {
  logic->mnuSave_Click();
  ASSERT_EQ(win.messages.size(), 1u);
  EXPECT_EQ(win.LastMessage(), u"保存に失敗しました.");
  EXPECT_TRUE(win.messages[0].errorIcon);
  EXPECT_EQ(Map().FileName(), folder.File("japan.MLL"));
}

// The map lies where it was generated: with the extents moved since, the save asks first.
TEST_F(SaveTest, ExtentsMovedAfterTheGenerationAreAskedAbout) {
  win.inputAnswers = {u"E1"};
  ASSERT_EQ(logic->mnuEast_Click(), EdgeEntry::Stored);
  win.questionAnswers = {MsgAnswer::No};
  logic->mnuSave_Click();
  EXPECT_TRUE(win.saveRequests.empty()) << "no file dialog after No";
  ASSERT_EQ(win.questions.size(), 1u);
  EXPECT_EQ(win.questions[0].rfind(u"地図は生成したときの範囲 (E000°00′00″ – E000°26′40″, N00°26′40″ – N00°00′00″) のままです.", 0), 0u)
      << ToUtf8(win.questions[0]);
  EXPECT_FALSE(Exists("moved.MLL"));
  EXPECT_FALSE(logic->LastSaveSucceeded());
  win.questionAnswers = {MsgAnswer::Yes};
  SaveAs(folder.File("moved.MLL"));
  EXPECT_TRUE(Exists("moved.MLL"));
  // Back on the extents it was generated on, nothing is asked.
  win.inputAnswers = {u"E0°26′40″"};
  ASSERT_EQ(logic->mnuEast_Click(), EdgeEntry::Stored);
  SaveAs(folder.File("again.MLL"));
  EXPECT_EQ(win.questions.size(), 2u);
  EXPECT_TRUE(Exists("again.MLL"));
}

TEST_F(SaveTest, EmptyNameSavesNothingAndSaysNothing) {
  SaveAs(u"");
  EXPECT_TRUE(win.messages.empty());
  EXPECT_FALSE(Exists("japan.MLL"));
}

TEST_F(SaveTest, MissingNameLineFailsBeforeWriting) {
  Map().Clear();
  Map().Add(NewRemark(u"# 地図コード：108000"));
  SaveAs(folder.File("bare.MLL"));
  EXPECT_EQ(win.LastMessage(), u"保存に失敗しました.");
  EXPECT_FALSE(Exists("bare.MLL"));
  EXPECT_EQ(win.caption.find(u"[保存中...]"), std::u16string::npos);
}

TEST_F(SaveTest, FailingThingFileShowsNoSuccess) {
  folder.Write("locked.THG", "");
  ::chmod((folder.Path() / "locked.THG").c_str(), 0444);
  SaveAs(folder.File("locked.MLL"));
  EXPECT_FALSE(Exists("locked.MLL"));  // the map and its thing file are saved as one, or not
  for (const auto& m : win.messages) EXPECT_NE(m.text, u"保存に成功しました.");
  EXPECT_FALSE(logic->LastSaveSucceeded());
  // The catalogue said why, through the error message box.
  ASSERT_FALSE(ports.messages.shown.empty());
  EXPECT_NE(ports.messages.shown.back().text.find(u"読み取り専用"), std::u16string::npos);
}

TEST_F(SaveTest, FailingMapFileLeavesTheThingFileUnwritten) {
  folder.Write("ro.MLL", "");
  ::chmod((folder.Path() / "ro.MLL").c_str(), 0444);
  SaveAs(folder.File("ro.MLL"));
  EXPECT_FALSE(Exists("ro.THG"));
  for (const auto& m : win.messages) EXPECT_NE(m.text, u"保存に成功しました.");
  EXPECT_EQ(ScreenMousePointerDepth(), 0);
}

// The map and its thing file are one save: a failure at any step of it leaves both old files as
// they were, and a kill at any step leaves each name holding a whole file, old or new.
class SaveFaultTest : public SaveTest {
 protected:
  void SetUp() override {
    SaveTest::SetUp();
    SaveAs(folder.File("m.MLL"));
    ASSERT_TRUE(logic->LastSaveSucceeded());
    folder.Write("m.THG", "edited by hand\r\n");
    oldMap = Bytes("m.MLL");
    Map().Add(NewRemark(u"# 変更"));
    logic->State().things->Modify(true);
  }
  std::string Bytes(const std::string& name) {
    std::ifstream in(folder.Path() / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void ResetFolder() {
    for (const auto& e : std::filesystem::directory_iterator(folder.Path()))
      if (e.path().filename() != "PICMAP.THG") std::filesystem::remove_all(e.path());
    folder.Write("m.MLL", oldMap);
    folder.Write("m.THG", "edited by hand\r\n");
  }
  std::string oldMap;
};

TEST_F(SaveFaultTest, FailureAtAnyStepLeavesBothOldFiles) {
  int step = 1;
  for (;; ++step) {
    const SaveStepFault fail(step, SaveStepFault::Kind::Fail);
    SaveAs(folder.File("m.MLL"));
    if (!SaveStepFault::Reached()) break;
    EXPECT_FALSE(logic->LastSaveSucceeded()) << step;
    EXPECT_EQ(Bytes("m.MLL"), oldMap) << step;
    EXPECT_EQ(Bytes("m.THG"), "edited by hand\r\n") << step;
    EXPECT_TRUE(TemporaryFiles(folder.Path()).empty()) << step;
    EXPECT_TRUE(Map().Modify());
  }
  EXPECT_GE(step, 8);
  EXPECT_TRUE(logic->LastSaveSucceeded());
  // Both old files were kept, the hand-edited thing file too, and the save tells their names.
  EXPECT_EQ(logic->LastKeptBackups().size(), 2u);
  EXPECT_EQ(Bytes("m-2026-12-07-4-52-01.MLL"), oldMap);
  EXPECT_EQ(Bytes("m-2026-12-07-4-52-01.THG"), "edited by hand\r\n");
}

TEST_F(SaveFaultTest, KillAtAnyStepLeavesWholeFiles) {
  std::vector<std::string> seen;
  int step = 1;
  for (; KilledAtStep(step, [&] { SaveAs(folder.File("m.MLL")); }); ++step) {
    seen.push_back(Bytes("m.MLL"));
    EXPECT_TRUE(Bytes("m.THG").size() > 0) << step;
    ResetFolder();
  }
  EXPECT_GE(step, 8);
  const std::string newMap = Bytes("m.MLL");  // the save that was not killed
  ASSERT_NE(newMap, oldMap);
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_TRUE(seen[i] == oldMap || seen[i] == newMap) << "killed at step " << i + 1;
}
}  // namespace
}  // namespace picmap::test
