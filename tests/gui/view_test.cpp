// Zooming and panning the preview, and what works at every zoom: the edge and move drags,
// the right-click colour, the pointer's status text; the see-through picture; opening a
// picture without the dialog.
#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QSlider>
#include <QUrl>
#include <QWheelEvent>
#include <cmath>

#include "app/frm_main.h"
#include "app/picture_loader.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

class ViewTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(StartWindow());
  }
  PreviewView& View() { return window->Logic().Viewport(); }
  const ConversionState& S() { return window->Logic().State(); }
  void SetArea(const char16_t* w, const char16_t* e, const char16_t* n, const char16_t* s) {
    dialogs.inputAnswers = {w, e, n, s};
    for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth}) Trigger(m);
  }
  // Canvas positions at the current zoom, and the same in the preview widget's coordinates.
  QPointF Canvas(double lon, double lat) { return {View().X(lon), View().Y(lat)}; }
  QPoint Widget(QPointF canvas) {
    return QPoint(static_cast<int>(std::lround(canvas.x())), static_cast<int>(std::lround(canvas.y()))) +
           window->Preview()->CanvasOrigin();
  }
  void Wheel(QPoint at, int notches) {
    QWheelEvent e(QPointF(at), QPointF(window->Preview()->mapToGlobal(at)), QPoint(),
                  QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(window->Preview(), &e);
  }
  // Pointer motion sent straight to the preview (a test's synthetic cursor may not move).
  void Move(QPoint to, Qt::MouseButtons buttons = Qt::NoButton) {
    PreviewWidget* p = window->Preview();
    QMouseEvent e(QEvent::MouseMove, QPointF(to), QPointF(p->mapToGlobal(to)), Qt::NoButton,
                  buttons, Qt::NoModifier);
    QApplication::sendEvent(p, &e);
  }
  // A left-button drag from one widget point to another, hovering first as a user does.
  void Drag(QPoint from, QPoint to) {
    PreviewWidget* p = window->Preview();
    Move(from);
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, from);
    Move(to, Qt::LeftButton);
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, to);
  }
  std::u16string PointerText() { return FromQ(window->PointerLabel()->text()); }
};

TEST_F(ViewTest, WheelZoomsAroundThePointerAndTheViewMenuGoesBack) {
  const QPoint at = Widget(QPointF(500, 120));
  const double lon = View().LonAt(500), lat = View().LatAt(120);
  Wheel(at, 4);  // two notches double the zoom
  EXPECT_DOUBLE_EQ(View().Zoom(), 4);
  EXPECT_NEAR(View().LonAt(500), lon, 1e-6);
  EXPECT_NEAR(View().LatAt(120), lat, 1e-6);
  Wheel(at, 40);
  EXPECT_DOUBLE_EQ(View().Zoom(), PreviewView::kMaxZoom);
  EXPECT_NEAR(View().LonAt(500), lon, 1e-6);
  // The world's edge stops the view: zooming out keeps the world filling the preview.
  Wheel(Widget(QPointF(5, 5)), -4);
  EXPECT_LE(View().OffsetX(), 0);
  EXPECT_GE(View().OffsetX() + View().WorldWidth(), window->PreviewWidth());

  window->findChild<QAction*>("mnuZoomWorld")->trigger();
  EXPECT_DOUBLE_EQ(View().Zoom(), 1);
  EXPECT_DOUBLE_EQ(View().OffsetX(), 0);

  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "japan.png"));
  SetArea(u"E129", u"E146", u"N46", u"N30");
  window->findChild<QAction*>("mnuZoomArea")->trigger();
  EXPECT_GT(View().Zoom(), 8);
  // The whole area is on view, not much more: its height takes 80% of the preview's.
  EXPECT_GE(View().X(129 * 3600), 0);
  EXPECT_LE(View().X(146 * 3600), window->PreviewWidth());
  EXPECT_NEAR(View().Y(30 * 3600) - View().Y(46 * 3600), 0.8 * window->PreviewHeight(), 1);
}

TEST_F(ViewTest, MiddleButtonPansTheViewWithoutTouchingTheArea) {
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "pan.png"));
  View().ZoomAt(8, 360, 180);
  window->Logic().DrawPreview();
  const double before = View().OffsetX();
  PreviewWidget* p = window->Preview();
  const QPoint from = Widget(QPointF(360, 180));
  QTest::mousePress(p, Qt::MiddleButton, Qt::NoModifier, from);
  Move(from + QPoint(50, 20), Qt::MiddleButton);
  QTest::mouseRelease(p, Qt::MiddleButton, Qt::NoModifier, from + QPoint(50, 20));
  EXPECT_DOUBLE_EQ(View().OffsetX(), before + 50);
  // Space with the left button pans too, instead of dragging the area.
  QTest::keyPress(p, Qt::Key_Space);
  QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, from);
  Move(from + QPoint(-30, 0), Qt::LeftButton);
  QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, from + QPoint(-30, 0));
  QTest::keyRelease(p, Qt::Key_Space);
  EXPECT_DOUBLE_EQ(View().OffsetX(), before + 20);
  EXPECT_EQ(S().west, -648000);
  EXPECT_EQ(S().east, 648000);
}

TEST_F(ViewTest, EdgeDragAtZoomMovesTheEdgeByTheZoomedAmountAndKeepsThirtySeconds) {
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "japan.png"));
  SetArea(u"E129", u"E146", u"N46", u"N30");
  window->Logic().ZoomPreview(16, static_cast<float>(View().X(129 * 3600)),
                              static_cast<float>(View().Y(38 * 3600)));
  const double k = View().Scale();
  ASSERT_NEAR(k, window->PreviewWidth() * 16 / 1296000, 1e-12);
  // 40 pixels at 16x are 40 / k = 4500″.
  const QPointF west = Canvas(129 * 3600, 38 * 3600);
  Drag(Widget(west), Widget(west + QPointF(40, 0)));
  EXPECT_NEAR(S().west, 129 * 3600 + 4500, 1 / k);
  EXPECT_EQ(window->Preview()->PointerCode(), pointer::kSizeWE);  // the edge followed

  // At 256x a pixel is 7″: the north edge stops short of 30″ above the south edge.
  SetArea(u"E129", u"E146", u"N30.03", u"N30");  // 108″ high
  window->Logic().ShowWholeWorld();
  window->Logic().ZoomPreview(256, static_cast<float>(View().X(137 * 3600)),
                              static_cast<float>(View().Y(30 * 3600)));
  const double k256 = View().Scale();
  ASSERT_NEAR(k256, window->PreviewWidth() * 256 / 1296000, 1e-12);
  const QPointF north = Canvas(137 * 3600, S().north);
  const QPointF south = Canvas(137 * 3600, S().south);
  const int32_t oldNorth = S().north;
  Drag(Widget(north), Widget(south - QPointF(0, 3)));  // 21″ above the south edge
  EXPECT_EQ(S().north, oldNorth);
  Drag(Widget(north), Widget(south - QPointF(0, 6)));  // 42″ above it
  EXPECT_NEAR(S().north, S().south + 6 / k256, 1 / k256);
}

TEST_F(ViewTest, MoveDragAtZoomCrossesTheDateLine) {
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "pacific.png"));
  SetArea(u"E178", u"E179.5", u"N1", u"S1");
  window->Logic().ZoomPreview(64, static_cast<float>(View().X(179 * 3600)),
                              static_cast<float>(View().Y(0)));
  const double k = View().Scale();
  const QPointF inside = Canvas(179 * 3600, 0);
  Drag(Widget(inside), Widget(inside + QPointF(100, 0)));  // 100 / k ≈ 2.2°
  const auto dx = static_cast<int32_t>(std::nearbyint(100 / k));  // halves to even
  EXPECT_EQ(S().west, 178 * 3600 + dx);
  EXPECT_EQ(S().east, 179 * 3600 + 1800 + dx - 1296000);  // wrapped past 180°
  EXPECT_GT(S().west, S().east);
  EXPECT_EQ(S().north, 3600);
}

TEST_F(ViewTest, RightClickAtZoomPicksThePicturesOwnColourEvenSeeThrough) {
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kBlue}), "pick.png"));
  SetArea(u"E129", u"E146", u"N46", u"N30");
  window->Logic().ZoomPreview(64, static_cast<float>(View().X(138 * 3600)),
                              static_cast<float>(View().Y(38 * 3600)));
  window->OpacitySlider()->setValue(50);
  // 137.4° E lies in the red half, 137.6° E in the blue one.
  QTest::mouseClick(window->Preview(), Qt::RightButton, Qt::NoModifier,
                    Widget(Canvas(137.4 * 3600, 38 * 3600)));
  EXPECT_EQ(S().backColor, kRed);
  QTest::mouseClick(window->Preview(), Qt::RightButton, Qt::NoModifier,
                    Widget(Canvas(137.6 * 3600, 38 * 3600)));
  EXPECT_EQ(S().backColor, kBlue);
}

TEST_F(ViewTest, HalfOpacityMixesThePictureWithTheWorld) {
  const QImage world = window->Preview()->Canvas().copy();
  OpenPicture(WritePicture(Stripes(90, 45, {kRed}), "red.png"));
  window->OpacitySlider()->setValue(50);
  for (const QPoint p : {QPoint(100, 100), QPoint(400, 250), QPoint(650, 30)}) {
    const QRgb w = world.pixel(p), shown = window->Preview()->Canvas().pixel(p);
    EXPECT_NEAR(qRed(shown), (qRed(w) + 255) / 2, 2);
    EXPECT_NEAR(qGreen(shown), qGreen(w) / 2, 2);
    EXPECT_NEAR(qBlue(shown), qBlue(w) / 2, 2);
  }
  window->OpacitySlider()->setValue(100);
  EXPECT_EQ(window->PreviewColorAt(400.5, 250.5), kRed);
  EXPECT_EQ(ColourFromRgb(window->Preview()->Canvas().pixel(400, 250)), kRed);
}

TEST_F(ViewTest, StatusBarShowsThePointersPositionAndThePicturePixel) {
  // At 720 pixels one pixel is 30′: x 630 is 135° E, y 110 is 35° N.
  Move(Widget(QPointF(630, 110)));
  EXPECT_EQ(PointerText(), u"経度：" + LonToStr(135 * 3600) + u"  緯度：" + LatToStr(35 * 3600));
  EXPECT_EQ(PointerText(), u"経度：E135°00′00″  緯度：N35°00′00″");

  OpenPicture(WritePicture(Stripes(100, 50, {kRed}), "grid.png"));
  SetArea(u"E130", u"E140", u"N40", u"N35");  // 10 x 5 degrees: 0.1° a pixel
  const QPointF centre = Canvas(135 * 3600, 37.5 * 3600);
  window->Logic().ZoomPreview(32, static_cast<float>(centre.x()), static_cast<float>(centre.y()));
  const QPoint at = Widget(Canvas(135.05 * 3600, 37.95 * 3600));
  Move(at);
  const QPoint c = at - window->Preview()->CanvasOrigin();
  const int32_t lon = static_cast<int32_t>(std::nearbyint(View().LonAt(c.x())));
  const int32_t lat = static_cast<int32_t>(std::nearbyint(View().LatAt(c.y())));
  EXPECT_NEAR(lon, 486180, 30);  // a pixel is 56″ at 32x
  EXPECT_EQ(PointerText(), u"経度：" + LonToStr(lon) + u"  緯度：" + LatToStr(lat) +
                               u"  画像ピクセル：50, 20");
}

// Zooming by the keyboard or the menu leaves the pointer where it was, over another place:
// the status bar follows, and tells the zoom.
TEST_F(ViewTest, StatusBarFollowsEveryZoomAndShowsIt) {
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "japan.png"));
  EXPECT_EQ(window->ZoomLabel()->text(), QStringLiteral("表示倍率：1倍"));
  const QPointF c(600, 100);
  Move(Widget(c));
  const std::u16string before = PointerText();
  window->findChild<QAction*>("mnuZoomIn")->trigger();
  EXPECT_EQ(window->ZoomLabel()->text(), QStringLiteral("表示倍率：2倍"));
  EXPECT_NE(PointerText(), before);
  EXPECT_EQ(PointerText(), window->Logic().PointerText(600, 100));
  Wheel(Widget(c), 1);
  EXPECT_EQ(window->ZoomLabel()->text(), QStringLiteral("表示倍率：2.8倍"));
  window->findChild<QAction*>("mnuZoomArea")->trigger();
  EXPECT_EQ(PointerText(), window->Logic().PointerText(600, 100));
  window->findChild<QAction*>("mnuZoomWorld")->trigger();
  EXPECT_EQ(window->ZoomLabel()->text(), QStringLiteral("表示倍率：1倍"));
  EXPECT_EQ(PointerText(), before);
}

// After a converted picture, a picture too small to convert: nothing the window shows may
// still be the first picture's, and the reason comes at once in the message's own text.
TEST_F(ViewTest, OpeningAnotherPictureReplacesEverythingTheWindowShows) {
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "japan.png"));
  window->Logic().SetEventInterval(std::chrono::milliseconds(0));
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  ASSERT_NE(LabelText(Label::lblFigureNum), u"図形総数：0");
  const QPoint at = Widget(QPointF(540, 180));  // 90° E, 0°: pixel 67, 22 of the first
  Move(at);
  ASSERT_NE(PointerText().find(u"画像ピクセル：67, 22"), std::u16string::npos);

  const std::u16string tiny = WritePicture(Stripes(8, 8, {kBlue}), "tiny.png");
  std::optional<int32_t> behindTheMessage;
  dialogs.onMessage = [&](const ShownMessage&) {
    behindTheMessage = window->PreviewColorAt(540, 180);
  };
  dialogs.messages.answers.push_back(MsgAnswer::No);  // the generated map is dropped
  OpenPicture(tiny);
  dialogs.onMessage = nullptr;
  ASSERT_EQ(dialogs.messages.shown.size(), 3u);
  EXPECT_EQ(dialogs.messages.shown[1].text, frmtext::kMapUnsaved);
  EXPECT_EQ(dialogs.LastMessage(),
            tiny + u"\r\n画像が小さすぎます: 8x8ピクセル (16x16ピクセル以上が必要です).");
  EXPECT_EQ(dialogs.messages.shown.back().icon, MsgIcon::Error);
  EXPECT_EQ(behindTheMessage, kBlue);
  EXPECT_EQ(window->PreviewColorAt(180, 90), kBlue);
  EXPECT_EQ(LabelText(Label::lblImgSize), u"画像ピクセル数：\n8x8");
  EXPECT_EQ(LabelText(Label::lblPixelSize), u"ピクセルサイズ：\n045°00′00″x022°30′00″");
  EXPECT_EQ(LabelText(Label::lblFigureNum), u"図形総数：0");
  EXPECT_NE(PointerText().find(u"画像ピクセル：6, 4"), std::u16string::npos) << ToUtf8(PointerText());
  for (Menu m : {Menu::mnuPolygon, Menu::mnuCompress, Menu::mnuSave}) EXPECT_FALSE(Enabled(m));

  // A picture large enough can be converted again, without a message.
  OpenPicture(WritePicture(Stripes(32, 16, {kGreen}), "large.png"));
  EXPECT_EQ(dialogs.messages.shown.size(), 3u);
  EXPECT_TRUE(Enabled(Menu::mnuPolygon));
  EXPECT_EQ(LabelText(Label::lblImgSize), u"画像ピクセル数：\n32x16");
  EXPECT_NE(PointerText().find(u"画像ピクセル：24, 8"), std::u16string::npos);
}

TEST_F(ViewTest, APictureOpensFromTheCommandLineOrByDropping) {
  const std::u16string first = WritePicture(Stripes(90, 45, {kRed}), "first.png");
  window->OpenPictureFile(ToQ(first));
  EXPECT_EQ(FromQ(window->windowTitle()), u"画像地図化ツール - ver.1.0.12 - " + first);
  EXPECT_TRUE(S().pictureLoaded);

  const std::u16string second = WritePicture(Stripes(90, 45, {kBlue}), "second.png");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(ToQ(second))});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_EQ(FromQ(window->windowTitle()), u"画像地図化ツール - ver.1.0.12 - " + second);
  EXPECT_EQ(window->PreviewColorAt(360, 180), kBlue);
}

}  // namespace
}  // namespace picmap::testing

namespace picmap::testing {
namespace {

// The undo stack, the lock and the question before a generated map is lost, in the window.
class SafetyTest : public ViewTest {
 protected:
  void Generate() {
    OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "japan.png"));
    window->Logic().SetEventInterval(std::chrono::milliseconds(0));
    Trigger(Menu::mnuPolygon);
    ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  }
  size_t Questions() const {
    size_t n = 0;
    for (const auto& m : dialogs.messages.shown) n += m.text == frmtext::kMapUnsaved;
    return n;
  }
};

TEST_F(SafetyTest, CancelOnQuitCloseOrOpenKeepsEverything) {
  Generate();
  const std::u16string figures = LabelText(Label::lblFigureNum);
  QAction* quit = window->MenuAction(Menu::mnuQuit);
  EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  dialogs.messages.answers = {MsgAnswer::Cancel, MsgAnswer::Cancel, MsgAnswer::Cancel};
  quit->trigger();
  window->close();
  OpenPicture(WritePicture(Stripes(32, 16, {kBlue}), "other.png"));
  EXPECT_EQ(Questions(), 3u);
  EXPECT_EQ(dialogs.messages.shown.back().buttons, MsgButtons::YesNoCancel);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->Unloaded());
  EXPECT_EQ(LabelText(Label::lblFigureNum), figures);
  EXPECT_EQ(window->SourceWidth(), 90);
  EXPECT_TRUE(Enabled(Menu::mnuSave));
  // Yes saves first; the window closes once the map is written.
  dialogs.messages.answers = {MsgAnswer::Yes};
  dialogs.saveAnswers.push_back(folder.File("japan.MLL"));
  quit->trigger();
  EXPECT_TRUE(fs::exists(folder.Path() / "japan.MLL"));
  EXPECT_TRUE(window->Unloaded());
}

TEST_F(SafetyTest, UndoAndRedoRestoreDraggedPlacementsAndTheLockStopsDrags) {
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kGreen}), "japan.png"));
  SetArea(u"E129", u"E146", u"N46", u"N30");
  QAction* undo = window->UndoAction();
  EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(window->RedoAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
  EXPECT_EQ(window->LockAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
  const Placement typed = window->Logic().CurrentPlacement();
  window->Logic().ShowPictureArea();
  const QPointF inside = Canvas(137 * 3600, 38 * 3600);
  Drag(Widget(inside), Widget(inside + QPointF(40, 0)));
  const Placement dragged = window->Logic().CurrentPlacement();
  ASSERT_NE(dragged, typed);
  ASSERT_TRUE(undo->isEnabled());
  undo->trigger();
  EXPECT_EQ(window->Logic().CurrentPlacement(), typed);
  EXPECT_EQ(LabelText(Label::lblWest), u"西端経度：E129°00′00″");
  EXPECT_TRUE(window->RedoAction()->isEnabled());
  window->RedoAction()->trigger();
  EXPECT_EQ(window->Logic().CurrentPlacement(), dragged);

  window->LockAction()->trigger();
  ASSERT_TRUE(window->LockAction()->isChecked());
  const QPointF now = Canvas(137 * 3600, 38 * 3600);
  Drag(Widget(now), Widget(now + QPointF(-60, 30)));
  EXPECT_EQ(window->Logic().CurrentPlacement(), dragged);
  window->LockAction()->trigger();
  Drag(Widget(now), Widget(now + QPointF(-60, 30)));
  EXPECT_NE(window->Logic().CurrentPlacement(), dragged);
}

}  // namespace
}  // namespace picmap::testing
