#include "gui/recent_pictures.h"

#include <QFileInfo>

namespace picmap {

QStringList RecentPictures::Files() const { return settings_.value(filesKey_).toStringList(); }

void RecentPictures::Add(const QString& path) {
  QStringList files = Files();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kMaxFiles) files.removeLast();
  settings_.setValue(folderKey_, QFileInfo(path).absolutePath());
  Store(files);
}

void RecentPictures::Remove(const QString& path) {
  QStringList files = Files();
  if (files.removeAll(path) > 0) Store(files);
}

QString RecentPictures::LastFolder() const { return settings_.value(folderKey_).toString(); }

// Written at once: a second window started meanwhile, or a crash, sees the list as it is.
void RecentPictures::Store(const QStringList& files) {
  settings_.setValue(filesKey_, files);
  settings_.sync();
}

}  // namespace picmap
