#include "app/picture_loader.h"

#include <QImageReader>
#include <QString>

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

std::optional<Picture> LoadPictureFile(const std::u16string& path, PictureLoader loader) {
  const QString file = ToQString(path);
  QImage image = loader == PictureLoader::Png ? DecodePng(file) : DecodeStandard(file);
  if (image.isNull()) return std::nullopt;
  return PictureFromImage(image);
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
