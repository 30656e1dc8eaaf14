// The window's layout as a person sees it: every text readable at the smallest size.
#include <QLabel>
#include <QStatusBar>

#include "window_fixture.h"

namespace picmap::testing {
namespace {

// Where a label's text does not fit the label, what is cut off; empty when all of it shows.
std::string Clipped(const QLabel* l) {
  const QRect room = l->contentsRect();
  const int flags = static_cast<int>(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0) |
                    (l->buddy() ? Qt::TextShowMnemonic : 0);
  const QRect needed = l->fontMetrics().boundingRect(room, flags, l->text());
  if (needed.width() <= room.width() && needed.height() <= room.height()) return {};
  return l->objectName().toStdString() + " \"" + l->text().toStdString() + "\" needs " +
         std::to_string(needed.width()) + "x" + std::to_string(needed.height()) + ", has " +
         std::to_string(room.width()) + "x" + std::to_string(room.height());
}

TEST_F(WindowTest, AtTheSmallestSizeEveryLabelShowsItsWholeText) {
  ASSERT_TRUE(StartWindow());
  OpenPicture(WritePicture(IslandsPicture(), "islands.png"));
  dialogs.inputAnswers = {u"W179°59′59″", u"E179°59′59″", u"N89°59′59″", u"S89°59′59″"};
  for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth}) Trigger(m);
  dialogs.colorAnswers.push_back(0x123456);
  Trigger(Menu::mnuBackColor);
  window->Logic().ShowStatus();
  QTest::mouseMove(window->Preview(), window->Preview()->rect().center());

  window->resize(window->minimumSizeHint());
  QTest::qWait(50);
  const QImage shot = window->grab().toImage();
  shot.save(QString::fromStdString((TestOutputFolder() / "window-smallest.png").string()));
  for (const QLabel* l : window->findChildren<QLabel*>()) {
    if (!l->isVisible() || l->text().isEmpty()) continue;
    EXPECT_EQ(Clipped(l), "");
  }
}

}  // namespace
}  // namespace picmap::testing
