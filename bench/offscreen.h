// What a benchmark that makes a Qt application needs before it does: the offscreen platform
// and a runtime folder, without which Qt warns on every start (ssh, cron, CI).
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <unistd.h>

#include <filesystem>
#include <string>

inline void PrepareOffscreenQt() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) return;
  const std::string rt = "/tmp/runtime-" + std::to_string(::getuid());
  std::filesystem::create_directories(rt);
  std::filesystem::permissions(rt, std::filesystem::perms::owner_all);
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(rt));
}
