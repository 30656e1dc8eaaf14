#include "app/picture_loader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRgba64>
#include <QString>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>
#include <new>

#include "app/frm_main.h"
#include "app/picture_completeness.h"
#include "app/raster_picture.h"
#include "support/errormng.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/text.h"

namespace picmap {

namespace {

QString ToQString(const std::u16string& s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

constexpr char kPngSignature[] = "\x89PNG\r\n\x1A\n";

bool StartsAsPng(const QByteArray& head) { return head.startsWith(QByteArray(kPngSignature, 8)); }

bool FileStartsAsPng(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && StartsAsPng(file.read(8));
}

uint32_t BigEndian32(const QByteArray& bytes, qsizetype at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

uint16_t BigEndian16(const QByteArray& bytes, qsizetype at) {
  return static_cast<uint16_t>((static_cast<uint8_t>(bytes[at]) << 8) | static_cast<uint8_t>(bytes[at + 1]));
}

struct WideColourKey {
  uint16_t red, green, blue;
  qsizetype chunkAt, chunkSize;  // the tRNS chunk, with its length, type and CRC
};

// Whether the header names 16 bits per sample of colour type 2 (RGB without alpha).
bool IsWideRgbPng(const QByteArray& head) {
  return head.size() >= 26 && StartsAsPng(head) && head.mid(12, 4) == "IHDR" &&
         static_cast<uint8_t>(head[24]) == 16 && static_cast<uint8_t>(head[25]) == 2;
}

// The transparent colour of a 16-bit RGB PNG: a tRNS chunk before its data.
std::optional<WideColourKey> WideColourKeyOf(const QByteArray& png) {
  if (!IsWideRgbPng(png)) return std::nullopt;
  for (qsizetype at = 8; at + 12 <= png.size();) {
    const uint32_t length = BigEndian32(png, at);
    const QByteArray type = png.mid(at + 4, 4);
    if (type == "IDAT" || length > static_cast<uint32_t>(png.size() - at - 12)) break;
    if (type == "tRNS" && length == 6)
      return WideColourKey{BigEndian16(png, at + 8), BigEndian16(png, at + 10), BigEndian16(png, at + 12),
                           at, qsizetype{length} + 12};
    at += qsizetype{length} + 12;
  }
  return std::nullopt;
}

// Qt 6.4 decodes a 16-bit RGB PNG with a transparent colour into uninitialised memory: the
// picture is read without its tRNS chunk and the key applied here, on the 16-bit values the
// chunk names.
std::optional<QImage> DecodeWideKeyedPng(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || !IsWideRgbPng(file.peek(26))) return std::nullopt;
  QByteArray png = file.readAll();
  const std::optional<WideColourKey> key = WideColourKeyOf(png);
  if (!key) return std::nullopt;
  png.remove(key->chunkAt, key->chunkSize);
  QBuffer buffer(&png);
  QImageReader reader(&buffer, "png");
  QImage image = reader.read();
  if (image.isNull()) return image;
  image.convertTo(QImage::Format_RGBA64);
  for (int y = 0; y < image.height(); ++y) {
    auto* px = reinterpret_cast<QRgba64*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (px[x].red() == key->red && px[x].green() == key->green && px[x].blue() == key->blue) px[x].setAlpha(0);
  }
  return image;
}

// The PNG decoder: told the format, it reads PNG data only.
QImage DecodePng(const QString& path) {
  if (std::optional<QImage> keyed = DecodeWideKeyedPng(path)) return *keyed;
  QImageReader reader(path, "png");
  reader.setDecideFormatFromContent(false);
  return reader.read();
}

// libjpeg fills what a damaged JPEG lacks with grey and only warns ("premature end of data
// segment"): such a picture is refused as one cut short is, before its grey is mapped. Minor
// faults a camera leaves (extraneous bytes before a marker) are no loss and pass. libjpeg
// passes on only the first warning of a decode, so a file with both passes.
class JpegLossWatch {
 public:
  JpegLossWatch() {
    const std::lock_guard<std::mutex> lock(Mutex());
    if (installed_++ == 0) previous_.store(qInstallMessageHandler(&Note));
    watch_ = this;
  }
  ~JpegLossWatch() {
    watch_ = nullptr;
    const std::lock_guard<std::mutex> lock(Mutex());
    if (--installed_ == 0) qInstallMessageHandler(previous_.load());
  }
  JpegLossWatch(const JpegLossWatch&) = delete;
  JpegLossWatch& operator=(const JpegLossWatch&) = delete;
  bool LostData() const { return lost_; }

 private:
  static std::mutex& Mutex() {
    static std::mutex m;
    return m;
  }
  // Runs on whichever thread logs; only the decoding thread's own watch takes note.
  static void Note(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (watch_ && context.category && std::strcmp(context.category, "qt.gui.imageio.jpeg") == 0 &&
        text.contains(QStringLiteral("premature end"), Qt::CaseInsensitive))
      watch_->lost_ = true;
    if (const QtMessageHandler previous = previous_.load()) previous(type, context, text);
  }
  bool lost_ = false;
  static inline thread_local JpegLossWatch* watch_ = nullptr;
  static inline std::atomic<QtMessageHandler> previous_{nullptr};
  static inline int installed_ = 0;
};

// The standard loader: the format follows the file's content, whatever its name says. A JPEG
// is read with its pixels as stored, whatever its EXIF orientation says, as GDAL and GIS
// programs read it (world files, control points and .aux.xml count those pixels).
QImage DecodeStandard(const QString& path, bool* lostData = nullptr) {
  if (std::optional<QImage> keyed = DecodeWideKeyedPng(path)) return *keyed;
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  JpegLossWatch watch;
  QImage image = reader.read();
  if (lostData) *lostData = watch.LostData();
  return watch.LostData() ? QImage() : image;
}

// The file's data, mapped rather than read: a picture may be hundreds of megabytes. A file
// that cannot be opened counts as whole here; the decoder then reports it.
bool PictureFileIsWhole(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() == 0) return true;
  if (const uchar* mapped = file.map(0, file.size())) {
    return PictureDataIsWhole({mapped, static_cast<size_t>(file.size())});
  }
  const QByteArray bytes = file.readAll();
  return PictureDataIsWhole({reinterpret_cast<const uint8_t*>(bytes.constData()),
                             static_cast<size_t>(bytes.size())});
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
  if (IsGdalVirtualPath(path)) return LoadRasterPicture(path, int64_t{PictureMemoryLimitMB()} << 20);
  // A pipe or a device: GDAL's open would wait on it for ever, after Qt had read it up.
  if (!QFileInfo(file).isFile()) return std::nullopt;
  if (!PictureFileIsWhole(file)) return std::nullopt;
  // A picture saved under a .png name that is not PNG (a JPEG from the web): read as what it is.
  if (loader == PictureLoader::Png && !FileStartsAsPng(file)) loader = PictureLoader::Standard;
  if (loader == PictureLoader::Standard && !IsQtPictureFile(path))
    return LoadRasterPicture(path, int64_t{PictureMemoryLimitMB()} << 20);
  try {
    QImage image = loader == PictureLoader::Png ? DecodePng(file) : DecodeStandard(file);
    if (image.isNull()) return std::nullopt;
    return PictureFromImage(std::move(image));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::u16string PictureProblem(const std::u16string& path) {
  const QString file = ToQString(path);
  const QFileInfo info(file);
  if (IsGdalVirtualPath(path)) {
    std::u16string problem;
    LoadRasterPicture(path, int64_t{PictureMemoryLimitMB()} << 20, &problem);
    return problem.empty() ? std::u16string(frmtext::kNotAPicture) : problem;
  }
  if (!info.exists()) return FileErrorText(err::kFileNotFound);
  if (info.isDir()) return Tr("frmMain", "フォルダーです. 画像ファイルを指定してください.");
  if (!info.isFile()) return Tr("frmMain", "通常のファイルではありません (パイプや装置からは読み込めません).");
  if (!info.isReadable()) return FileErrorText(err::kPathFileAccess);
  if (!PictureFileIsWhole(file)) return frmtext::kIncompletePicture;  // before a decoder complains
  if (bool lost = false; IsQtPictureFile(path) && (DecodeStandard(file, &lost), lost))
    return frmtext::kIncompletePicture;
  // GDAL says why of what Qt only refuses, a 12-bit JPEG for one.
  std::u16string problem;
  if (!LoadRasterPicture(path, int64_t{PictureMemoryLimitMB()} << 20, &problem) && !problem.empty())
    return problem;
  QImageReader reader(file);
  const QSize size = reader.size();
  const int64_t mb = int64_t{size.width()} * size.height() * 4 / (1024 * 1024);
  if (size.isValid() && mb > PictureMemoryLimitMB()) {
    return Arg(Tr("frmMain", "画像が大きすぎます: %1x%2ピクセル (%3MB). この計算機で読み込める画像は %4MB までです."),
               {Number(size.width()), Number(size.height()), Number(mb),
                Number(PictureMemoryLimitMB())});
  }
  return frmtext::kNotAPicture;
}

namespace {

Picture IndexedPicture(QImage image, const Picture::Palette& palette) {
  auto owner = std::make_shared<const QImage>(std::move(image));
  return Picture::Indexed(owner->width(), owner->height(), owner->constBits(),
                          owner->bytesPerLine(), palette, owner);
}

// Palette entries as they lie over white; indexes beyond the table read as transparent.
Picture::Palette PaletteOf(const QImage& image) {
  Picture::Palette palette;
  const QList<QRgb> table = image.colorTable();
  for (size_t i = 0; i < palette.size(); ++i)
    palette[i] = OverWhite(static_cast<qsizetype>(i) < table.size() ? table[i] : qRgba(0, 0, 0, 0));
  return palette;
}

// R, G, B, A bytes in place to R, G, B over white and an opaque X byte.
void LayOverWhite(QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    uchar* px = image.scanLine(y);
    for (int x = 0; x < image.width(); ++x, px += 4) {
      const int a = px[3];
      if (a == 255) continue;
      for (int c = 0; c < 3; ++c) px[c] = static_cast<uchar>((px[c] * a + 255 * (255 - a) + 127) / 255);
      px[3] = 255;
    }
  }
  image.reinterpretAsFormat(QImage::Format_RGBX8888);
}

}  // namespace

// Palette and grey pictures keep their one byte per pixel; all others become R, G, B, X in the
// decoder's own buffer where Qt can convert in place.
Picture PictureFromImage(QImage image) {
  if (image.isNull()) return Picture();
  switch (image.format()) {
    case QImage::Format_Grayscale8: {
      Picture::Palette grey;
      for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<int32_t>(i * 0x010101);
      return IndexedPicture(std::move(image), grey);
    }
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
      image.convertTo(QImage::Format_Indexed8);
      [[fallthrough]];
    case QImage::Format_Indexed8: {
      const Picture::Palette palette = PaletteOf(image);
      return IndexedPicture(std::move(image), palette);
    }
    default:
      break;
  }
  if (image.hasAlphaChannel()) {
    image.convertTo(QImage::Format_RGBA8888);
    LayOverWhite(image);
  } else {
    image.convertTo(QImage::Format_RGBX8888);
  }
  auto owner = std::make_shared<const QImage>(std::move(image));
  return Picture::Direct(owner->width(), owner->height(), owner->constBits(),
                         owner->bytesPerLine(), owner);
}

namespace {

void ReleaseOwner(void* info) { delete static_cast<std::shared_ptr<const void>*>(info); }

}  // namespace

// A view of the picture's own buffer (kept alive by the image), not a copy.
QImage ImageFromPicture(const Picture& picture) {
  if (picture.Empty()) return QImage();
  auto* keep = new std::shared_ptr<const void>(picture.Owner());
  QImage image(picture.Bits(), picture.width, picture.height, picture.Stride(),
               picture.IsIndexed()  ? QImage::Format_Indexed8
               : picture.footprint ? QImage::Format_RGBA8888_Premultiplied
                                   : QImage::Format_RGBX8888,
               ReleaseOwner, keep);
  if (const Picture::Palette* palette = picture.ColourTable()) {
    QList<QRgb> table;
    for (const int32_t c : *palette) table.push_back(RgbFromColour(c));
    image.setColorTable(table);
  }
  return image;
}

}  // namespace picmap
