// Reading picture files into colour buffers, and the data folder of an installed program.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <sys/stat.h>

#include "app/picture_loader.h"
#include "app/program_folder.h"
#include "app_fixture.h"

namespace picmap::test {
namespace {

QImage Sample() {
  QImage img(3, 2, QImage::Format_RGB32);
  img.setPixel(0, 0, qRgb(0x12, 0x34, 0x56));
  img.setPixel(1, 0, qRgb(255, 0, 0));
  img.setPixel(2, 0, qRgb(0, 0, 255));
  img.setPixel(0, 1, qRgb(0, 255, 0));
  img.setPixel(1, 1, qRgb(255, 255, 255));
  img.setPixel(2, 1, qRgb(0, 0, 0));
  return img;
}

void ExpectSampleColours(const Picture& p) {
  ASSERT_EQ(p.width, 3);
  ASSERT_EQ(p.height, 2);
  EXPECT_EQ(p.At(0, 0), 0x563412);  // red in the low byte
  EXPECT_EQ(p.At(1, 0), 0x0000FF);
  EXPECT_EQ(p.At(2, 0), 0xFF0000);
  EXPECT_EQ(p.At(0, 1), 0x00FF00);
  EXPECT_EQ(p.At(1, 1), 0xFFFFFF);
  EXPECT_EQ(p.At(2, 1), 0x000000);
}

TEST(PictureLoaderTest, PngAndBmpGiveBbggrrValues) {
  TempFolder dir;
  ASSERT_TRUE(Sample().save(QString::fromStdString((dir.Path() / "s.png").string()), "PNG"));
  ASSERT_TRUE(Sample().save(QString::fromStdString((dir.Path() / "s.bmp").string()), "BMP"));
  auto png = LoadPictureFile(dir.File("s.png"), PictureLoader::Png);
  ASSERT_TRUE(png);
  ExpectSampleColours(*png);
  auto bmp = LoadPictureFile(dir.File("s.bmp"), PictureLoader::Standard);
  ASSERT_TRUE(bmp);
  ExpectSampleColours(*bmp);
}

// Pictures from the web often carry a wrong name: a JPEG or BMP called .png was refused.
TEST(PictureLoaderTest, APngNameWithOtherDataIsReadAsWhatItHolds) {
  TempFolder dir;
  ASSERT_TRUE(Sample().save(QString::fromStdString((dir.Path() / "fake.png").string()), "BMP"));
  for (const PictureLoader loader : {PictureLoader::Png, PictureLoader::Standard}) {
    const auto picture = LoadPictureFile(dir.File("fake.png"), loader);
    ASSERT_TRUE(picture);
    ExpectSampleColours(*picture);
  }
  EXPECT_FALSE(LoadPictureFile(dir.File("missing.bmp"), PictureLoader::Standard));
  EXPECT_EQ(LoaderForPath(u"/a/b.PNG"), PictureLoader::Png);
  EXPECT_EQ(LoaderForPath(u"/a/b.png"), PictureLoader::Png);
  EXPECT_EQ(LoaderForPath(u"/a/bpng"), PictureLoader::Png);  // the last three characters count
  EXPECT_EQ(LoaderForPath(u"/a/b.jpg"), PictureLoader::Standard);
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string BigEndian(uint32_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

// Qt read a 16-bit RGB PNG with a transparent colour into uninitialised memory: stripes of
// colours the picture does not have. The key must match all 16 bits of a sample.
TEST(PictureLoaderTest, SixteenBitPngWithATransparentColourKeepsItsColours) {
  TempFolder dir;
  QImage wide(3, 2, QImage::Format_RGBX64);
  wide.setPixelColor(0, 0, QColor::fromRgba64(1000, 2000, 3000));  // the key
  wide.setPixelColor(1, 0, QColor::fromRgba64(65535, 0, 0));
  wide.setPixelColor(2, 0, QColor::fromRgba64(1000, 2000, 3001));  // one off the key
  for (int x = 0; x < 3; ++x) wide.setPixelColor(x, 1, QColor::fromRgba64(0, 0, 65535));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
  ASSERT_TRUE(wide.save(&buffer, "PNG"));
  ASSERT_EQ(bytes[24], 16);  // 16 bits per sample
  const std::string key = "tRNS" + BigEndian(1000, 2) + BigEndian(2000, 2) + BigEndian(3000, 2);
  std::string png = bytes.toStdString();
  png.insert(33, BigEndian(6, 4) + key + BigEndian(Crc32(key), 4));  // right after the header
  dir.Write("key.png", png);
  const auto picture = LoadPictureFile(dir.File("key.png"), PictureLoader::Png);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 0), 0xFFFFFF);  // transparent: over white
  EXPECT_EQ(picture->At(1, 0), 0x0000FF);
  EXPECT_EQ(picture->At(2, 0), 0x0C0804);
  EXPECT_EQ(picture->At(2, 1), 0xFF0000);
}

// An OS/2 bitmap of 8 bits with a palette of 3 colours: Qt read its pixels from where a palette
// of 256 would end, the map shifted 41 pixels east and wrapped round, without a word.
TEST(PictureLoaderTest, AnOs2BitmapWithAShortPaletteKeepsItsPixelsInPlace) {
  TempFolder dir;
  constexpr int32_t kW = 40, kH = 24;
  std::string bits;
  for (int32_t y = kH - 1; y >= 0; --y)  // bottom row first
    for (int32_t x = 0; x < kW; ++x) bits += static_cast<char>(x < 4 && y < 3 ? 1 : 0);
  const std::string palette("\xFF\xFF\xFF" "\x00\x00\xFF" "\xFF\x00\x00", 9);  // B, G, R: white, red, blue
  const auto little = [](uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
  };
  const uint32_t offset = 14 + 12 + 9;
  const std::string bmp = "BM" + little(offset + static_cast<uint32_t>(bits.size()), 4) + little(0, 4) +
                          little(offset, 4) + little(12, 4) + little(kW, 2) + little(kH, 2) + little(1, 2) +
                          little(8, 2) + palette + bits;
  dir.Write("os2.bmp", bmp);
  const auto picture = LoadPictureFile(dir.File("os2.bmp"), PictureLoader::Standard);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 0), 0x0000FF);
  EXPECT_EQ(picture->At(3, 2), 0x0000FF);
  EXPECT_EQ(picture->At(4, 0), 0xFFFFFF);
  EXPECT_EQ(picture->At(kW - 1, kH - 1), 0xFFFFFF);
}

// Opening a named pipe hung for ever in GDAL's open, after Qt had read the stream up.
TEST(PictureLoaderTest, APipeIsRefusedAtOnceAndSaidSo) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo((dir.Path() / "pipe.png").c_str(), 0600), 0);
  EXPECT_FALSE(LoadPictureFile(dir.File("pipe.png"), PictureLoader::Png));
  EXPECT_EQ(PictureProblem(dir.File("pipe.png")), u"通常のファイルではありません (パイプや装置からは読み込めません).");
}

TEST(PictureLoaderTest, TranslucentPixelsLieOverWhite) {
  QImage img(2, 1, QImage::Format_ARGB32);
  img.setPixel(0, 0, qRgba(0, 0, 0, 0));
  img.setPixel(1, 0, qRgba(0, 0, 0, 255));
  const Picture p = PictureFromImage(img);
  EXPECT_EQ(p.At(0, 0), 0xFFFFFF);
  EXPECT_EQ(p.At(1, 0), 0x000000);
  const QImage back = ImageFromPicture(p);
  EXPECT_EQ(back.pixel(0, 0), qRgb(255, 255, 255));
}

// Palette and grey pictures are read as one index per pixel: the colours must still be the
// palette's, a translucent entry over white.
TEST(PictureLoaderTest, PaletteAndGreyPicturesGiveTheirColours) {
  TempFolder dir;
  QImage img(3, 1, QImage::Format_Indexed8);
  img.setColorTable({qRgb(0x12, 0x34, 0x56), qRgba(0, 0, 0, 0), qRgb(0, 0, 255)});
  img.setPixel(0, 0, 2);
  img.setPixel(1, 0, 0);
  img.setPixel(2, 0, 1);
  ASSERT_TRUE(img.save(QString::fromStdString((dir.Path() / "p.png").string()), "PNG"));
  auto p = LoadPictureFile(dir.File("p.png"), PictureLoader::Png);
  ASSERT_TRUE(p);
  std::vector<int32_t> row(3);
  p->ReadRow(0, row.data());
  EXPECT_EQ(row, (std::vector<int32_t>{0xFF0000, 0x563412, 0xFFFFFF}));
  EXPECT_EQ(ImageFromPicture(*p).pixel(1, 0), qRgb(0x12, 0x34, 0x56));

  QImage grey(2, 1, QImage::Format_Grayscale8);
  grey.setPixel(0, 0, qRgb(7, 7, 7));
  grey.setPixel(1, 0, qRgb(200, 200, 200));
  const Picture g = PictureFromImage(grey);
  EXPECT_EQ(g.At(0, 0), 0x070707);
  EXPECT_EQ(g.At(1, 0), 0xC8C8C8);

  Picture copy = g;  // a copy written to does not change the picture it came from
  copy.Set(0, 0, 0x0000FF);
  EXPECT_EQ(copy.At(0, 0), 0x0000FF);
  EXPECT_EQ(copy.At(1, 0), 0xC8C8C8);
  EXPECT_EQ(g.At(0, 0), 0x070707);
}

// A picture cut off in transfer decodes with its missing part black (or as whatever memory
// held): it must be refused, not converted into a map with a wrong half.
TEST(PictureLoaderTest, PictureCutInHalfIsRefusedAsIncomplete) {
  TempFolder dir;
  QImage img(64, 64, QImage::Format_RGB32);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) img.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) % 256));
  for (const char* format : {"BMP", "JPEG", "PNG"}) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(img.save(&buffer, format));
    const std::string whole = bytes.toStdString();
    dir.Write("whole.pic", whole);
    dir.Write("half.pic", whole.substr(0, whole.size() / 2));
    EXPECT_TRUE(LoadPictureFile(dir.File("whole.pic"), PictureLoader::Standard)) << format;
    EXPECT_FALSE(LoadPictureFile(dir.File("half.pic"), PictureLoader::Standard)) << format;
    const std::u16string problem = PictureProblem(dir.File("half.pic"));
    EXPECT_NE(problem.find(u"途中で切れています"), std::u16string::npos)
        << format << ": " << ToUtf8(problem);
    if (std::string(format) != "JPEG") continue;
    // Its end marker put back, the decoder still fills the lost half with grey.
    dir.Write("mended.jpg", whole.substr(0, whole.size() / 2) + "\xFF\xD9");
    EXPECT_FALSE(LoadPictureFile(dir.File("mended.jpg"), PictureLoader::Standard));
    EXPECT_NE(PictureProblem(dir.File("mended.jpg")).find(u"途中で切れています"), std::u16string::npos);
  }
}

TEST(ProgramFolderTest, InstalledShareFolderHoldsTheTemplates) {
  TempFolder dir;
  std::filesystem::create_directories(dir.Path() / "bin");
  std::filesystem::create_directories(dir.Path() / "share" / "picmap");
  const std::u16string bin = dir.File("bin");
  EXPECT_EQ(DataFolderFor(bin), bin);  // nowhere: the executable's folder
  dir.Write("share/picmap/PICMAP.THG", "x");
  EXPECT_EQ(DataFolderFor(bin), bin + u"/../share/picmap");
  dir.Write("bin/PICMAP.THG", "x");
  EXPECT_EQ(DataFolderFor(bin), bin);  // beside the executable wins
  EXPECT_EQ(TemplateMapFile(bin), bin + u"/PICMAP.MLL");
}

}  // namespace
}  // namespace picmap::test

namespace picmap::test {
namespace {

// Qt refuses pictures over 128 MB by default: 8193 x 4096 pixels was "not a picture".
TEST(PictureLoaderTest, PicturesOverQtsDefaultLimitLoadAndTheTooLargeSayHowLarge) {
  TempFolder dir;
  QImage wide(8193, 4096, QImage::Format_Indexed8);
  wide.setColorTable({qRgb(0, 0, 255)});
  wide.fill(0);
  ASSERT_TRUE(wide.save(QString::fromStdString((dir.Path() / "wide.png").string()), "PNG"));
  const auto picture = LoadPictureFile(dir.File("wide.png"), PictureLoader::Png);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(8192, 4095), 0xFF0000);

  // A PNG header that claims 200000 x 200000 pixels (160 GB decoded).
  const unsigned char header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                  'I', 'H', 'D', 'R', 0, 3, 0x0D, 0x40, 0, 3, 0x0D, 0x40,
                                  8, 2, 0, 0, 0, 0x76, 0x59, 0x1F, 0x5D,
                                  0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E,
                                  0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  std::ofstream(dir.Path() / "huge.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(header), sizeof header);
  EXPECT_FALSE(LoadPictureFile(dir.File("huge.png"), PictureLoader::Png));
  const std::u16string problem = PictureProblem(dir.File("huge.png"));
  EXPECT_EQ(problem.rfind(u"画像が大きすぎます: 200000x200000ピクセル (152587MB).", 0), 0u)
      << ToUtf8(problem);
  EXPECT_EQ(PictureProblem(dir.File("none.png")), u"ファイルが見つかりません.");
  std::filesystem::create_directory(dir.Path() / "maps.png");
  EXPECT_EQ(PictureProblem(dir.File("maps.png")), u"フォルダーです. 画像ファイルを指定してください.");
}

}  // namespace
}  // namespace picmap::test
