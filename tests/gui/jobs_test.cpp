// The long jobs in the real window: generation with progress and cancel, compression, saving,
// the screenshot of a finished conversion, and closing (also during a job).
#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>

#include "app/frm_main.h"
#include "support/library.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// A window with a four-stripe picture opened, running events at every request.
class JobsTest : public WindowTest {
 protected:
  void OpenStripes(int w, int h) {
    ASSERT_TRUE(StartWindow());
    OpenPicture(WritePicture(Stripes(w, h, {kRed, kWhite, kGreen, kBlue}), "japan.png"));
    window->Logic().SetEventInterval(std::chrono::milliseconds(0));
  }
};

TEST_F(JobsTest, GenerationShowsProgressBlocksReentryAndEnablesSaveAndCompression) {
  OpenStripes(90, 45);
  QSignalSpy progress(window->Progress(), &QProgressBar::valueChanged);
  struct Seen {
    bool job = false, openEnabled = true, cancelEnabled = false, polygonEnabled = true;
    bool cleanupEnabled = true;  // options changed during a run would not be its own
    bool waitCursor = false;
    std::u16string caption;
  } seen;
  window->SetEventsHook([&] {
    if (seen.job) return;
    seen.job = window->JobRunning();
    seen.openEnabled = window->MenuAction(Menu::mnuOpen)->isEnabled();
    seen.cancelEnabled = window->MenuAction(Menu::mnuCancel)->isEnabled();
    seen.polygonEnabled = window->MenuAction(Menu::mnuPolygon)->isEnabled();
    seen.cleanupEnabled = window->findChild<QAction*>(QStringLiteral("mnuCleanup"))->isEnabled();
    const QCursor* c = QGuiApplication::overrideCursor();
    seen.waitCursor = c && c->shape() == Qt::WaitCursor;
    seen.caption = FromQ(window->windowTitle());
  });
  const std::u16string caption = FromQ(window->windowTitle());
  window->MenuAction(Menu::mnuPolygon)->trigger();

  EXPECT_TRUE(seen.job);
  EXPECT_FALSE(seen.openEnabled);
  EXPECT_TRUE(seen.cancelEnabled);
  EXPECT_FALSE(seen.polygonEnabled);
  EXPECT_FALSE(seen.cleanupEnabled);
  EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("mnuCleanup"))->isEnabled());
  EXPECT_TRUE(seen.waitCursor);
  EXPECT_EQ(seen.caption, caption + u"   [ポリゴン生成中...]");
  EXPECT_GE(progress.count(), 10);

  EXPECT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  EXPECT_EQ(dialogs.messages.shown.back().icon, MsgIcon::None);
  EXPECT_FALSE(window->JobRunning());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(FromQ(window->windowTitle()), caption);
  for (Menu m : {Menu::mnuOpen, Menu::mnuPolygon, Menu::mnuCompress, Menu::mnuSave})
    EXPECT_TRUE(window->MenuAction(m)->isEnabled());
  EXPECT_FALSE(window->MenuAction(Menu::mnuCancel)->isEnabled());
  // Four stripes of 22 or 23 pixels in 45 rows, white being a colour like any other: 4 runs
  // per row, plus 21 remarks.
  EXPECT_EQ(LabelText(Label::lblFigureNum), u"図形総数：" + FromUtf8(std::to_string(45 * 4 + 21)));
}

TEST_F(JobsTest, CancelDuringASecondGenerationStopsIt) {
  OpenStripes(90, 45);
  window->MenuAction(Menu::mnuPolygon)->trigger();
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);

  int calls = 0;
  window->SetEventsHook([&] {
    if (++calls == 200) window->MenuAction(Menu::mnuCancel)->trigger();
  });
  window->MenuAction(Menu::mnuPolygon)->trigger();
  EXPECT_EQ(dialogs.LastMessage(), frmtext::kPolygonCancelled);
  EXPECT_EQ(dialogs.messages.shown.back().icon, MsgIcon::Error);
  EXPECT_FALSE(window->MenuAction(Menu::mnuCancel)->isEnabled());
  EXPECT_TRUE(window->MenuAction(Menu::mnuPolygon)->isEnabled());
  EXPECT_TRUE(window->MenuAction(Menu::mnuOpen)->isEnabled());
  EXPECT_LT(calls, 90 * 45);
}

TEST_F(JobsTest, EscapeCancelsARunningGeneration) {
  OpenStripes(90, 45);
  int calls = 0;
  window->SetEventsHook([&] {
    if (++calls == 50) QTest::keyClick(window.get(), Qt::Key_Escape);
  });
  window->MenuAction(Menu::mnuPolygon)->trigger();
  EXPECT_EQ(dialogs.LastMessage(), frmtext::kPolygonCancelled);
  EXPECT_LT(calls, 90 * 45);
}

TEST_F(JobsTest, CompressionMergesTheStackedRectangles) {
  OpenStripes(90, 45);
  window->MenuAction(Menu::mnuPolygon)->trigger();
  window->MenuAction(Menu::mnuCompress)->trigger();
  // Each stripe's 45 rows become one rectangle: 44 absorbed per stripe.
  EXPECT_EQ(dialogs.LastMessage(), u"２次元圧縮を完了しました(削減数=176). 保存してください.");
  EXPECT_EQ(LabelText(Label::lblFigureNum), u"図形総数：" + FromUtf8(std::to_string(4 + 21)));
  EXPECT_TRUE(window->MenuAction(Menu::mnuCompress)->isEnabled());
  EXPECT_FALSE(window->MenuAction(Menu::mnuCancel)->isEnabled());
}

// Compression reports a value every eighth figure; painting each one made the window many
// times slower than the command line. The bar changes only with the percentage it shows.
TEST_F(JobsTest, CompressionShowsEachPercentageOnceAndEndsAtZero) {
  OpenStripes(90, 400);
  window->MenuAction(Menu::mnuPolygon)->trigger();
  QSignalSpy progress(window->Progress(), &QProgressBar::valueChanged);
  window->MenuAction(Menu::mnuCompress)->trigger();
  ASSERT_EQ(dialogs.LastMessage(), u"２次元圧縮を完了しました(削減数=1564). 保存してください.");
  EXPECT_GE(progress.count(), 50);
  EXPECT_LE(progress.count(), 102);  // 1 % .. 99 % and the closing 0, and nothing twice
  EXPECT_EQ(window->Progress()->value(), 0);
}

TEST_F(JobsTest, SavingWritesTheMapAndTheThingFileIntoTheChosenFolder) {
  OpenStripes(90, 45);
  window->MenuAction(Menu::mnuPolygon)->trigger();
  window->MenuAction(Menu::mnuCompress)->trigger();
  TempFolder out;
  const std::u16string target = out.File("japan.MLL");
  dialogs.saveAnswers.push_back(target);
  window->MenuAction(Menu::mnuSave)->trigger();
  ASSERT_EQ(dialogs.saveRequests.size(), 1u);
  EXPECT_EQ(dialogs.saveRequests[0].title, u"地図ファイル名を指定する");
  EXPECT_EQ(dialogs.saveRequests[0].filter, frmtext::kMapFilter);
  EXPECT_EQ(dialogs.LastMessage(), frmtext::kSaveDone);
  EXPECT_TRUE(fs::exists(out.Path() / "japan.MLL"));
  EXPECT_TRUE(fs::exists(out.Path() / "japan.THG"));
  EXPECT_GT(fs::file_size(out.Path() / "japan.MLL"), 0u);
  EXPECT_EQ(window->Progress()->value(), 100);

  dialogs.saveAnswers.push_back(std::nullopt);
  window->MenuAction(Menu::mnuSave)->trigger();
  EXPECT_EQ(dialogs.LastMessage(), frmtext::kSaveFailed);
}

// The box of a failed save is read by a person: its first line names the file and the cause.
TEST_F(JobsTest, AFailedSaveTellsFirstWhichFileAndWhyInWords) {
  OpenStripes(90, 45);
  window->MenuAction(Menu::mnuPolygon)->trigger();
  const std::u16string target = folder.File("gone/japan.MLL");
  dialogs.saveAnswers.push_back(target);
  window->MenuAction(Menu::mnuSave)->trigger();
  const ShownMessage& box = dialogs.messages.shown.back();
  EXPECT_EQ(box.title, u"ドライブ関連エラー");
  EXPECT_EQ(box.text.substr(0, box.text.find(u"\r\n")),
            u"ファイル「" + target + u"」にアクセスできませんでした: 保存先のフォルダーがありません.");
  EXPECT_NE(box.text.find(u"\r\n*Code=53\r\n"), std::u16string::npos);  // the record stays
}

TEST_F(JobsTest, WindowAfterAConversionIsRenderedForALook) {
  ASSERT_TRUE(StartWindow());
  window->resize(760, window->height());
  const QImage img = IslandsPicture();
  OpenPicture(WritePicture(img, "islands.png"));
  dialogs.inputAnswers = {u"E122", u"E150", u"N46", u"N24"};
  for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth})
    window->MenuAction(m)->trigger();
  dialogs.colorAnswers.push_back(0xC85A28);
  window->MenuAction(Menu::mnuBackColor)->trigger();
  window->MenuAction(Menu::mnuPolygon)->trigger();
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  QTest::qWait(50);

  const QPixmap shot = window->grab();
  const fs::path file = TestOutputFolder() / "frmMain.png";
  ASSERT_TRUE(shot.save(QString::fromStdString(file.string())));
  EXPECT_GT(shot.width(), 700);
  // The menu bar grabbed on its own, with a submenu open, for the captions.
  QMenu* convert = window->findChild<QMenu*>(QStringLiteral("mnuConvert"));
  ASSERT_NE(convert, nullptr);
  convert->popup(window->mapToGlobal(QPoint(0, 0)));
  QTest::qWait(50);
  convert->grab().save(QString::fromStdString((TestOutputFolder() / "frmMain-menu.png").string()));
  convert->hide();
}

TEST_F(JobsTest, QuitRunsFormUnloadAndClosesTheWindow) {
  OpenStripes(20, 20);
  window->MenuAction(Menu::mnuQuit)->trigger();
  EXPECT_TRUE(window->Unloaded());
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(exitCode.has_value());  // a small map ends normally
}

TEST_F(JobsTest, ClosingWithTenThousandFiguresExitsAtOnce) {
  ASSERT_TRUE(StartWindow());
  QImage checker(100, 100, QImage::Format_RGB32);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
  OpenPicture(WritePicture(checker, "checker.png"));
  window->MenuAction(Menu::mnuPolygon)->trigger();
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  window->close();
  EXPECT_EQ(exitCode, 0);
}

TEST_F(JobsTest, ClosingDuringGenerationCancelsItFirst) {
  OpenStripes(90, 45);
  int calls = 0;
  window->SetEventsHook([&] {
    if (++calls == 100) window->close();
  });
  window->MenuAction(Menu::mnuPolygon)->trigger();
  EXPECT_EQ(dialogs.LastMessage(), frmtext::kPolygonCancelled);
  EXPECT_TRUE(window->Unloaded());
  EXPECT_FALSE(window->isVisible());
}

TEST_F(JobsTest, LibraryMessagesAndPointerGoThroughTheWindow) {
  ASSERT_TRUE(StartWindow());
  ShowError(u"テスト");
  ASSERT_FALSE(dialogs.messages.shown.empty());
  EXPECT_EQ(dialogs.messages.shown.back().title, u"画像地図化ツール");
  EXPECT_EQ(dialogs.messages.shown.back().icon, MsgIcon::Error);
  ScreenMousePointer(11);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ScreenMousePointer(-1);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace picmap::testing
