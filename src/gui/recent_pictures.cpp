#include "gui/recent_pictures.h"

#include <QFileInfo>

namespace picmap {

namespace {
const QString kFilesKey = QStringLiteral("recentPictures");
const QString kFolderKey = QStringLiteral("lastPictureFolder");
}  // namespace

QStringList RecentPictures::Files() const { return settings_.value(kFilesKey).toStringList(); }

void RecentPictures::Add(const QString& path) {
  QStringList files = Files();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kMaxFiles) files.removeLast();
  settings_.setValue(kFolderKey, QFileInfo(path).absolutePath());
  Store(files);
}

void RecentPictures::Remove(const QString& path) {
  QStringList files = Files();
  if (files.removeAll(path) > 0) Store(files);
}

QString RecentPictures::LastFolder() const { return settings_.value(kFolderKey).toString(); }

// Written at once: a second window started meanwhile, or a crash, sees the list as it is.
void RecentPictures::Store(const QStringList& files) {
  settings_.setValue(kFilesKey, files);
  settings_.sync();
}

}  // namespace picmap
