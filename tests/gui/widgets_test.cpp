// The window's building blocks on their own: filter conversion, initial names, cursors, the
// preview canvas with its pointer events, the swatch and the scripted dialogs.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "gui/app_icon.h"
#include "gui/cursors.h"
#include "gui/dialog_provider.h"
#include "gui/preview_widget.h"
#include "gui/qt_text.h"
#include "gui/scripted_dialogs.h"
#include "gui/swatch_widget.h"
#include "qt_app.h"
#include "window_fixture.h"

namespace picmap {
namespace {

using picmap::testing::QtApp;

TEST(QtNameFilters, PictureFilterBecomesFiveQtFiltersMatchingAnyCase) {
  const QStringList f = QtNameFilters(
      u"すべてのピクチャファイル(*.*)|*.BMP;*.GIF;*.PNG;*.JPG;*.JPEG;*.JPE|"
      u"BMPイメージファイル(*.BMP)|*.BMP|GIFイメージファイル(*.GIF)|*.GIF|"
      u"PNGイメージファイル(*.PNG)|*.PNG|JPEGイメージファイル|*.JPG;*.JPEG;*.JPE|");
  ASSERT_EQ(f.size(), 5);
  EXPECT_EQ(f[0], QStringLiteral("すべてのピクチャファイル(*.*) (*.BMP *.bmp *.GIF *.gif *.PNG "
                                 "*.png *.JPG *.jpg *.JPEG *.jpeg *.JPE *.jpe)"));
  EXPECT_EQ(f[1], QStringLiteral("BMPイメージファイル(*.BMP) (*.BMP *.bmp)"));
  EXPECT_EQ(f[4], QStringLiteral("JPEGイメージファイル (*.JPG *.jpg *.JPEG *.jpeg *.JPE *.jpe)"));
}

TEST(QtNameFilters, MixedCasePatternKeepsItsOwnSpellingAndGainsBothCases) {
  const QStringList f = QtNameFilters(u"地図|*.Mll|");
  ASSERT_EQ(f.size(), 1);
  EXPECT_EQ(f[0], QStringLiteral("地図 (*.Mll *.MLL *.mll)"));
}

TEST(QtNameFilters, MissingTrailingSeparatorAndEmptyTextAreHandled) {
  EXPECT_EQ(QtNameFilters(u"地図(*.MLL)|*.MLL").size(), 1);
  EXPECT_TRUE(QtNameFilters(u"").isEmpty());
  EXPECT_TRUE(QtNameFilters(u"only a description").isEmpty());
}

TEST(SplitInitialName, WildcardNameOpensTheFolderOnly) {
  InitialName n = SplitInitialName(u"/opt/picmap/*.PNG");
  EXPECT_EQ(n.folder, QStringLiteral("/opt/picmap"));
  EXPECT_TRUE(n.file.isEmpty());
  n = SplitInitialName(u"C:\\maps\\japan.MLL");
  EXPECT_EQ(n.folder, QStringLiteral("C:/maps"));
  EXPECT_EQ(n.file, QStringLiteral("japan.MLL"));
  n = SplitInitialName(u"japan.MLL");
  EXPECT_TRUE(n.folder.isEmpty());
  EXPECT_EQ(n.file, QStringLiteral("japan.MLL"));
  EXPECT_EQ(SplitInitialName(u"/x.MLL").folder, QStringLiteral("/"));
}

TEST(CursorForPointer, SizingCodesOfThePreview) {
  EXPECT_EQ(CursorForPointer(9), Qt::SizeHorCursor);
  EXPECT_EQ(CursorForPointer(7), Qt::SizeVerCursor);
  EXPECT_EQ(CursorForPointer(8), Qt::SizeFDiagCursor);
  EXPECT_EQ(CursorForPointer(6), Qt::SizeBDiagCursor);
  EXPECT_EQ(CursorForPointer(5), Qt::SizeAllCursor);
  EXPECT_EQ(CursorForPointer(0), Qt::ArrowCursor);
  EXPECT_EQ(CursorForPointer(11), Qt::WaitCursor);
  EXPECT_EQ(CursorForPointer(99), Qt::ArrowCursor);
}

TEST(DisplayText, CarriageReturnLineFeedBecomesOneLineBreak) {
  EXPECT_EQ(ToDisplayText(u"地図化領域サイズ：\r\n360°00′00″"),
            QStringLiteral("地図化領域サイズ：\n360°00′00″"));
  EXPECT_EQ(FromQ(ToQ(u"北緯３５度")), u"北緯３５度");
}

class PreviewWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override { QtApp(); }
};

TEST_F(PreviewWidgetTest, CanvasIsTheLargestTwoToOneRectangleCentredInTheWidget) {
  PreviewWidget w;
  QSignalSpy resized(&w, &PreviewWidget::CanvasResized);
  w.resize(500, 100);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(w.Canvas().size(), QSize(200, 100));
  EXPECT_EQ(w.CanvasOrigin(), QPoint(150, 0));
  EXPECT_GE(resized.count(), 1);
  w.resize(500, 400);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.Canvas().width() == 500; }, 1000));
  EXPECT_EQ(w.Canvas().size(), QSize(500, 250));
  EXPECT_EQ(w.CanvasOrigin(), QPoint(0, 75));
  // Pointer positions are the canvas's.
  QSignalSpy moved(&w, &PreviewWidget::MouseMoved);
  QTest::mouseMove(&w, QPoint(30, 85));
  ASSERT_GE(moved.count(), 1);
  EXPECT_FLOAT_EQ(moved.last().at(3).toFloat(), 10.0f);
}

TEST_F(PreviewWidgetTest, DrawnImageIsStretchedWithoutBlendingAndReadBack) {
  PreviewWidget w;
  w.resize(720, 360);
  QImage two(2, 1, QImage::Format_RGB32);
  two.setPixel(0, 0, qRgb(0x12, 0x34, 0x56));
  two.setPixel(1, 0, qRgb(0xFF, 0x00, 0x80));
  w.DrawImage(two, QRect(100, 50, 40, 10));
  EXPECT_EQ(w.ColorAt(100, 50), 0x563412);
  EXPECT_EQ(w.ColorAt(119.9, 59.5), 0x563412);
  EXPECT_EQ(w.ColorAt(120, 55), 0x8000FF);
  EXPECT_EQ(w.ColorAt(99, 50), 0xFFFFFF);  // cleared canvas is white
  EXPECT_EQ(w.ColorAt(-0.5, 10), -1);
  EXPECT_EQ(w.ColorAt(720, 10), -1);
  w.Clear();
  EXPECT_EQ(w.ColorAt(100, 50), 0xFFFFFF);
}

TEST_F(PreviewWidgetTest, PointerEventsCarryWindowSystemButtonNumbers) {
  PreviewWidget w;
  w.resize(720, 360);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QSignalSpy moved(&w, &PreviewWidget::MouseMoved);
  QSignalSpy released(&w, &PreviewWidget::MouseReleased);
  QTest::mouseMove(&w, QPoint(30, 40));
  ASSERT_GE(moved.count(), 1);
  EXPECT_EQ(moved.last().at(0).value<int16_t>(), 0);
  EXPECT_FLOAT_EQ(moved.last().at(2).toFloat(), 30.0f);
  EXPECT_FLOAT_EQ(moved.last().at(3).toFloat(), 40.0f);

  QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
  QTest::mouseMove(&w, QPoint(35, 45));
  EXPECT_EQ(moved.last().at(0).value<int16_t>(), 1);
  QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, QPoint(35, 45));
  ASSERT_EQ(released.count(), 1);
  EXPECT_EQ(released.last().at(0).value<int16_t>(), 1);

  QTest::mouseClick(&w, Qt::RightButton, Qt::ShiftModifier, QPoint(10, 20));
  ASSERT_EQ(released.count(), 2);
  EXPECT_EQ(released.last().at(0).value<int16_t>(), 2);
  EXPECT_EQ(released.last().at(1).value<int16_t>(), 1);

  w.SetInputBlocked(true);
  QTest::mouseClick(&w, Qt::RightButton, Qt::NoModifier, QPoint(10, 20));
  EXPECT_EQ(released.count(), 2);
}

TEST_F(PreviewWidgetTest, ButtonAndShiftNumbering) {
  EXPECT_EQ(ButtonState(Qt::MiddleButton), 4);
  EXPECT_EQ(ButtonState(Qt::LeftButton | Qt::RightButton), 3);
  EXPECT_EQ(ShiftState(Qt::ControlModifier | Qt::AltModifier), 6);
}

TEST_F(PreviewWidgetTest, PointerCodeSetsTheCursorShape) {
  PreviewWidget w;
  w.SetPointerCode(8);
  EXPECT_EQ(w.cursor().shape(), Qt::SizeFDiagCursor);
  w.SetPointerCode(0);
  EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PreviewWidgetTest, SwatchShowsButtonFaceUntilAColourIsSetAndReportsClicks) {
  SwatchWidget s;
  EXPECT_EQ(s.ShownColour(), s.palette().color(QPalette::Button));
  s.SetColour(0x00FF8040);
  EXPECT_EQ(s.ShownColour(), QColor(0x40, 0x80, 0xFF));
  s.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
  QSignalSpy clicked(&s, &SwatchWidget::Clicked);
  QTest::mouseClick(&s, Qt::RightButton);
  EXPECT_EQ(clicked.count(), 0);
  QTest::mouseClick(&s, Qt::LeftButton);
  EXPECT_EQ(clicked.count(), 1);
}

TEST(ScriptedDialogs, AnswersFromQueuesAndCancelsWhenEmpty) {
  ScriptedDialogProvider d;
  d.openAnswers.push_back(u"/tmp/a.png");
  EXPECT_EQ(d.OpenFile(nullptr, {u"t", u"f", u"x|*.X|", 1}), u"/tmp/a.png");
  EXPECT_EQ(d.OpenFile(nullptr, {}), std::nullopt);
  ASSERT_EQ(d.openRequests.size(), 2u);
  EXPECT_EQ(d.openRequests[0].title, u"t");
  d.colorAnswers.push_back(0x123456);
  EXPECT_EQ(d.Color(nullptr, -1), 0x123456);
  EXPECT_EQ(d.Color(nullptr, 5), std::nullopt);
  EXPECT_EQ(d.colorRequests, (std::vector<int32_t>{-1, 5}));
  d.inputAnswers.push_back(u"E135");
  EXPECT_EQ(d.Input(nullptr, u"T", u"P", u"D"), u"E135");
  EXPECT_EQ(d.Input(nullptr, u"T", u"P", u"D"), u"");
  EXPECT_EQ(d.prompts.back().defaultText, u"D");
  EXPECT_EQ(d.Message(nullptr, u"m", u"T", MsgButtons::YesNoCancel, MsgIcon::Error),
            MsgAnswer::No);
  d.messages.answers.push_back(MsgAnswer::Yes);
  EXPECT_EQ(d.Message(nullptr, u"m", u"T", MsgButtons::YesNoCancel, MsgIcon::Error),
            MsgAnswer::Yes);
  EXPECT_EQ(d.LastMessage(), u"m");
  EXPECT_EQ(d.messages.shown.back().icon, MsgIcon::Error);
}

// The real box: a failure's reason is read in the box itself, not behind a details button.
TEST(QtDialogs, AMessageWithItsDetailShowsTheDetailInItsText) {
  QtApp();
  QtDialogProvider dialogs;
  QString text, folded;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    text = box->text();
    folded = box->detailedText();
    box->accept();
  });
  poll.start(10);
  dialogs.MessageWithDetail(nullptr, u"ポリゴン生成に失敗しました.",
                            u"画像が小さすぎます: 8x8ピクセル", u"画像地図化ツール", MsgIcon::Error);
  EXPECT_EQ(text, QStringLiteral("ポリゴン生成に失敗しました.\n画像が小さすぎます: 8x8ピクセル"));
  EXPECT_TRUE(folded.isEmpty());
}

}  // namespace
}  // namespace picmap

namespace picmap::testing {
namespace {

// The icon is built into the program; it is left in test-output for a person to look at.
TEST(AppIcon, IsBuiltInAndDrawsThePictureAndTheGrid) {
  QtApp();
  const QIcon icon = AppIcon();
  ASSERT_FALSE(icon.isNull());
  const QImage image = icon.pixmap(128, 128).toImage();
  ASSERT_EQ(image.size(), QSize(128, 128));
  EXPECT_TRUE(image.save(QString::fromStdString((TestOutputFolder() / "icon.png").string())));
  EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);          // the corner stays transparent
  EXPECT_EQ(image.pixel(100, 100), qRgb(0x2f, 0x6f, 0xc4));  // a sea cell of the grid
}

}  // namespace
}  // namespace picmap::testing
