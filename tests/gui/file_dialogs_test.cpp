// Where the open and save dialogs start, and the recent pictures of the file menu, kept from
// one session of the window to the next.
#include <QAction>
#include <QDir>
#include <QMenu>
#include <unistd.h>

#include "app/frm_main.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

class FileDialogsTest : public WindowTest {
 protected:
  QString OpenDialogFolder() {
    Trigger(Menu::mnuOpen);  // no answer queued: cancelled
    return SplitInitialName(dialogs.openRequests.back().fileName).folder;
  }
  QStringList RecentTexts() {
    emit window->RecentMenu()->aboutToShow();
    QStringList texts;
    for (QAction* a : window->RecentMenu()->actions()) texts << a->text();
    return texts;
  }
  std::u16string Caption() { return FromQ(window->windowTitle()); }
  std::u16string PictureIn(const std::string& sub, const std::string& name) {
    fs::create_directories(folder.Path() / sub);
    return WritePicture(Stripes(32, 16, {0x0000FF}), sub + "/" + name);
  }
};

TEST_F(FileDialogsTest, OpenStartsAtHomeThenWhereThePictureCameFromAndRecentPicturesReopen) {
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(OpenDialogFolder(), QDir::homePath());
  EXPECT_FALSE(window->RecentMenu()->menuAction()->isEnabled());

  const std::u16string japan = PictureIn("asia", "japan.png");
  const std::u16string chile = PictureIn("america", "chile.png");
  OpenPicture(japan);
  OpenPicture(chile);
  EXPECT_EQ(OpenDialogFolder(), ToQ(folder.U16()) + QStringLiteral("/america"));
  EXPECT_EQ(RecentTexts(), (QStringList{QStringLiteral("&1 ") + ToQ(chile),
                                        QStringLiteral("&2 ") + ToQ(japan)}));
  window->RecentMenu()->actions()[1]->trigger();
  EXPECT_EQ(Caption(), u"画像地図化ツール - ver.1.0.12 - " + japan);
  EXPECT_EQ(RecentTexts().first(), QStringLiteral("&1 ") + ToQ(japan));

  // The next session starts where this one ended, with the same list.
  window.reset();
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(OpenDialogFolder(), ToQ(folder.U16()) + QStringLiteral("/asia"));
  EXPECT_EQ(RecentTexts().size(), 2);

  // A picture that has gone says so once and leaves the list; its folder is not offered.
  fs::remove_all(folder.Path() / "asia");
  window->RecentMenu()->actions()[0]->trigger();
  EXPECT_NE(dialogs.LastMessage().find(u"ファイルが見つかりません."), std::u16string::npos);
  EXPECT_EQ(RecentTexts(), QStringList{QStringLiteral("&1 ") + ToQ(chile)});
  EXPECT_EQ(OpenDialogFolder(), QDir::homePath());
}

TEST_F(FileDialogsTest, SaveProposesThePicturesFolderOnlyWhereFilesCanBeWritten) {
  ASSERT_TRUE(StartWindow());
  window->Logic().SetEventInterval(std::chrono::milliseconds(0));
  OpenPicture(PictureIn("maps", "japan.png"));
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  Trigger(Menu::mnuSave);  // cancelled
  EXPECT_EQ(dialogs.saveRequests.back().fileName, folder.File("maps/japan.MLL"));

  fs::remove_all(folder.Path() / "maps");
  Trigger(Menu::mnuSave);
  EXPECT_EQ(dialogs.saveRequests.back().fileName,
            FromQ(QDir::homePath()) + u"/japan.MLL");

  if (::geteuid() == 0) return;  // root writes into a folder without write permission
  fs::create_directories(folder.Path() / "maps");
  fs::permissions(folder.Path() / "maps", fs::perms::owner_read | fs::perms::owner_exec);
  Trigger(Menu::mnuSave);
  EXPECT_EQ(dialogs.saveRequests.back().fileName, FromQ(QDir::homePath()) + u"/japan.MLL");
  fs::permissions(folder.Path() / "maps", fs::perms::owner_all);
}

}  // namespace
}  // namespace picmap::testing
