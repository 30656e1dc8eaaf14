// The pictures opened lately and the folder of the last one, kept between sessions in the
// user's settings, so that the open dialog starts where the user last worked.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

namespace picmap {

class RecentPictures {
 public:
  static constexpr int kMaxFiles = 8;

  // The keys of the settings the list and its folder are kept under (another list, such as
  // the reference layers', takes keys of its own).
  RecentPictures(QString filesKey = QStringLiteral("recentPictures"),
                 QString folderKey = QStringLiteral("lastPictureFolder"))
      : filesKey_(std::move(filesKey)), folderKey_(std::move(folderKey)) {}

  // Most recent first.
  QStringList Files() const;
  // Puts the path first (once), dropping the oldest beyond kMaxFiles.
  void Add(const QString& path);
  void Remove(const QString& path);
  // The folder of the picture opened last, or an empty text before any.
  QString LastFolder() const;

 private:
  void Store(const QStringList& files);

  QString filesKey_;
  QString folderKey_;
  QSettings settings_{QStringLiteral("picmap"), QStringLiteral("picmap")};
};

}  // namespace picmap
