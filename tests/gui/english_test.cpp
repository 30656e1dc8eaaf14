// The window in English: every text it shows comes from the translation and none is left in
// Japanese; back in Japanese its texts are its own again.
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QSlider>

#include "app/frm_main.h"
#include "app/language.h"
#include "support/ui_text.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

bool HasJapanese(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) ||
        (u >= 0xFF00 && u <= 0xFFEF))
      return true;
  }
  return false;
}

class EnglishWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(UseLanguage("en"));
    ProgramInfo info = Program();
    info.title = Tr("frmMain", "画像地図化ツール");
    SetProgramInfo(info);
  }
  void TearDown() override {
    WindowTest::TearDown();
    UseLanguage("ja");
  }

  // Every text a person can read in the window: menus, labels, frames, tips, the caption.
  QStringList WindowTexts() {
    QStringList texts{window->windowTitle()};
    for (const QAction* a : window->findChildren<QAction*>()) texts << a->text() << a->toolTip();
    for (const QLabel* l : window->findChildren<QLabel*>()) texts << l->text() << l->toolTip();
    for (const QGroupBox* g : window->findChildren<QGroupBox*>()) texts << g->title();
    texts << window->OpacitySlider()->toolTip();
    texts.removeAll(QString());
    return texts;
  }
};

TEST_F(EnglishWindowTest, EveryTextTheWindowShowsIsEnglish) {
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Picture Map Tool - ver.1.0.12"));
  EXPECT_EQ(window->MenuAction(Menu::mnuFile)->text(), QStringLiteral("&File"));
  EXPECT_EQ(LabelText(Label::lblWest), u"West edge: W180°00′00″");

  window->Logic().SetEventInterval(std::chrono::milliseconds(0));
  const std::u16string tiny = WritePicture(Stripes(8, 8, {0xFF0000}), "tiny.png");
  OpenPicture(tiny);
  EXPECT_EQ(dialogs.LastMessage(),
            tiny + u"\r\nThe picture is too small: 8x8 pixels (at least 16x16 pixels are needed).");
  OpenPicture(WritePicture(IslandsPicture(), "islands.png"));
  dialogs.inputAnswers.push_back(u"E999");
  Trigger(Menu::mnuEast);
  dialogs.colorAnswers.push_back(0x123456);
  Trigger(Menu::mnuBackColor);
  Trigger(Menu::mnuPolygon);
  dialogs.saveAnswers.push_back(folder.File("gone/islands.MLL"));
  Trigger(Menu::mnuSave);
  window->findChild<QAction*>("mnuZoomIn")->trigger();
  QTest::mouseMove(window->Preview(), window->Preview()->rect().center());

  for (const QString& text : WindowTexts()) EXPECT_FALSE(HasJapanese(text)) << text.toStdString();
  ASSERT_GE(dialogs.messages.shown.size(), 4u);
  for (const ShownMessage& m : dialogs.messages.shown) {
    EXPECT_FALSE(HasJapanese(ToQ(m.text))) << ToUtf8(m.text);
    EXPECT_FALSE(HasJapanese(ToQ(m.title))) << ToUtf8(m.title);
  }
  const std::u16string sentence = u"The file “" + folder.File("gone/islands.MLL") +
                                  u"” could not be accessed: the folder to save in does not exist.";
  EXPECT_EQ(dialogs.messages.shown.back().text.substr(0, sentence.size()), sentence);

  window->resize(760, window->height());
  QTest::qWait(50);
  window->grab().save(QString::fromStdString((TestOutputFolder() / "window-english.png").string()));
}

TEST_F(EnglishWindowTest, BackInJapaneseTheWindowSpeaksItsOwnWords) {
  UseLanguage("ja");
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(window->MenuAction(Menu::mnuFile)->text(), QStringLiteral("ファイル(&F)"));
  EXPECT_EQ(window->ToneAction(0)->text(), QStringLiteral("256諧調(無圧縮)(&A)"));
  EXPECT_EQ(LabelText(Label::lblWest), u"西端経度：W180°00′00″");
  EXPECT_EQ(std::u16string(frmtext::kSaveDone), u"保存に成功しました.");
}

}  // namespace
}  // namespace picmap::testing
