// One QApplication for every test of the window, on the offscreen platform unless the
// environment names another.
#pragma once

#include <QApplication>

#include "gui/ui_font.h"

namespace picmap::testing {

inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = [] {
    auto* a = new QApplication(argc, argv);
    UseJapaneseUiFont(*a);
    return a;
  }();
  return *app;
}

}  // namespace picmap::testing
