// One QApplication for every test of the window, on the offscreen platform unless the
// environment names another.
#pragma once

#include <QApplication>
#include <QTemporaryDir>

#include "gui/ui_font.h"

namespace picmap::testing {

inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The window keeps recent pictures in the user's settings: the tests keep theirs apart.
  static QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  static QApplication* app = [] {
    auto* a = new QApplication(argc, argv);
    UseJapaneseUiFont(*a);
    return a;
  }();
  return *app;
}

}  // namespace picmap::testing
