// The real main window on the offscreen platform, with its dialogs answered by a scripted
// provider and its program folder in a temporary folder holding the shipped data files.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "gui/main_window.h"
#include "gui/preview_widget.h"
#include "gui/qt_text.h"
#include "gui/scripted_dialogs.h"
#include "qt_app.h"
#include "support/angle.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::testing {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string tmpl = (fs::temp_directory_path() / "picmap_gui_XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& Path() const { return path_; }
  std::u16string U16() const { return FromUtf8(path_.string()); }
  std::u16string File(const std::string& name) const { return FromUtf8((path_ / name).string()); }

 private:
  fs::path path_;
};

// A small "map" for the screenshots: blue sea, a green and a yellow island, 160 x 120.
inline QImage IslandsPicture() {
  QImage img(160, 120, QImage::Format_RGB32);
  img.fill(qRgb(40, 90, 200));
  for (int y = 20; y < 100; ++y)
    for (int x = 30 + y / 3; x < 70 + y / 2; ++x) img.setPixel(x, y, qRgb(60, 170, 60));
  for (int y = 60; y < 110; ++y)
    for (int x = 100; x < 150 - (y - 60) / 2; ++x) img.setPixel(x, y, qRgb(220, 200, 80));
  return img;
}

inline fs::path SourceData(const std::string& name) {
  return fs::path(PICMAP_SOURCE_DIR) / "data" / name;
}

// Where the tests leave pictures for a person to look at: <build>/test-output.
inline fs::path TestOutputFolder() {
  fs::path p = fs::path(PICMAP_RUNTIME_DIR).parent_path() / "test-output";
  fs::create_directories(p);
  return p;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QtApp();
    QSettings(QStringLiteral("picmap"), QStringLiteral("picmap")).clear();
    ResetAngleSettings();
    fs::copy_file(SourceData("PICMAP.THG"), folder.Path() / "PICMAP.THG");
    fs::copy_file(SourceData("world.png"), folder.Path() / "world.png");
    ProgramInfo info;
    info.folder = folder.U16();
    info.title = u"画像地図化ツール";
    info.major = 1;
    info.minor = 0;
    info.revision = 12;
    SetProgramInfo(info);
  }
  void TearDown() override {
    window.reset();
    SetProgramInfo(oldInfo);
  }

  // The window is made (and Form_Load run) only here, so a test can change the folder first.
  bool StartWindow() {
    window = std::make_unique<frmMain>(&dialogs);
    window->SetExitHook([this](int code) { exitCode = code; });
    if (!window->Start()) return false;
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
  }

  void Trigger(Menu item) { window->MenuAction(item)->trigger(); }
  std::u16string LabelText(Label label) const {
    return FromQ(window->LabelWidget(label)->text());
  }
  bool Enabled(Menu item) const { return window->MenuAction(item)->isEnabled(); }

  // A picture file in the folder, then opened through the menu.
  std::u16string WritePicture(const QImage& image, const std::string& name) {
    const fs::path p = folder.Path() / name;
    EXPECT_TRUE(image.save(QString::fromStdString(p.string())));
    return FromUtf8(p.string());
  }
  void OpenPicture(const std::u16string& path) {
    dialogs.openAnswers.push_back(path);
    Trigger(Menu::mnuOpen);
  }

  // Preview pixel coordinates of a longitude and latitude.
  double K() const { return window->PreviewWidth() / 1296000.0; }
  QPoint At(int32_t lon, int32_t lat) const {
    return QPoint(static_cast<int>(std::lround((lon + 648000.0) * K())),
                  static_cast<int>(std::lround((324000.0 - lat) * K())));
  }
  // The same point where the pointer meets it: the canvas is centred in the preview's room.
  QPoint OnPreview(int32_t lon, int32_t lat) const {
    return At(lon, lat) + window->Preview()->CanvasOrigin();
  }

  ProgramInfo oldInfo = Program();
  TempFolder folder;
  ScriptedDialogProvider dialogs;
  std::unique_ptr<frmMain> window;
  std::optional<int> exitCode;
};

// A picture of coloured bands: `bands` vertical stripes of the given colours (0x00BBGGRR).
inline QImage Stripes(int w, int h, std::initializer_list<int32_t> colours) {
  QImage img(w, h, QImage::Format_RGB32);
  const int n = static_cast<int>(colours.size());
  for (int x = 0; x < w; ++x) {
    const int32_t c = colours.begin()[x * n / w];
    for (int y = 0; y < h; ++y) img.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
  }
  return img;
}

}  // namespace picmap::testing
