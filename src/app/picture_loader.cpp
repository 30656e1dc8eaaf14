#include "app/picture_loader.h"

#include <QFileInfo>
#include <QImageReader>
#include <QString>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <new>

#include "app/frm_main.h"
#include "support/errormng.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/text.h"

namespace picmap {

namespace {

QString ToQString(const std::u16string& s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

// The PNG decoder: told the format, it refuses anything that is not PNG data.
QImage DecodePng(const QString& path) {
  QImageReader reader(path, "png");
  reader.setDecideFormatFromContent(false);
  return reader.read();
}

// The standard loader: the format follows the file's content, whatever its name says.
QImage DecodeStandard(const QString& path) {
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  return reader.read();
}

constexpr int kFallbackLimitMB = 1024;

std::u16string Number(int64_t n) { return FromUtf8(std::to_string(n)); }

int32_t OverWhite(QRgb argb) {
  const int a = qAlpha(argb);
  if (a == 255) return ColourFromRgb(argb);
  auto blend = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
  return static_cast<int32_t>(blend(qRed(argb)) | (blend(qGreen(argb)) << 8) |
                              (blend(qBlue(argb)) << 16));
}

}  // namespace

PictureLoader LoaderForPath(const std::u16string& path) {
  if (path.size() >= 3 && EqualsIgnoringCase(path.substr(path.size() - 3), u"PNG"))
    return PictureLoader::Png;
  return PictureLoader::Standard;
}

int PictureMemoryLimitMB() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return kFallbackLimitMB;
  // The decoded picture, its converted copy and the pixel buffer are alive at once.
  const int64_t mb = static_cast<int64_t>(pages) * pageSize / 4 / (1024 * 1024);
  return static_cast<int>(std::clamp<int64_t>(mb, kFallbackLimitMB, INT32_MAX));
}

std::optional<Picture> LoadPictureFile(const std::u16string& path, PictureLoader loader) {
  QImageReader::setAllocationLimit(PictureMemoryLimitMB());
  const QString file = ToQString(path);
  try {
    QImage image = loader == PictureLoader::Png ? DecodePng(file) : DecodeStandard(file);
    if (image.isNull()) return std::nullopt;
    return PictureFromImage(image);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::u16string PictureProblem(const std::u16string& path) {
  const QString file = ToQString(path);
  const QFileInfo info(file);
  if (!info.exists()) return FileErrorText(err::kFileNotFound);
  if (info.isDir() || !info.isReadable()) return FileErrorText(err::kPathFileAccess);
  QImageReader reader(file);
  const QSize size = reader.size();
  const int64_t mb = int64_t{size.width()} * size.height() * 4 / (1024 * 1024);
  if (size.isValid() && mb > PictureMemoryLimitMB()) {
    return u"画像が大きすぎます: " + Number(size.width()) + u"x" + Number(size.height()) +
           u"ピクセル (" + Number(mb) + u"MB). この計算機で読み込める画像は " +
           Number(PictureMemoryLimitMB()) + u"MB までです.";
  }
  return frmtext::kNotAPicture;
}

Picture PictureFromImage(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  Picture p(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) p.Set(x, y, OverWhite(line[x]));
  }
  return p;
}

QImage ImageFromPicture(const Picture& picture) {
  QImage image(picture.width, picture.height, QImage::Format_RGB32);
  for (int y = 0; y < picture.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < picture.width; ++x) line[x] = RgbFromColour(picture.At(x, y));
  }
  return image;
}

}  // namespace picmap
