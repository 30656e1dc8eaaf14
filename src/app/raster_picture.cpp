#include "app/raster_picture.h"

#include <gdal_priv.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "app/georef_internal.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

bool IsGdalVirtualPath(const std::u16string& path) { return path.rfind(u"/vsi", 0) == 0; }

namespace {

uint32_t LittleEndian(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// An OS/2 bitmap (a 12-byte header) whose palette is shorter than its bits allow: Qt reads its
// pixels from where the full palette would end, shifted and wrapped round; GDAL reads it right.
bool IsOs2BitmapWithAShortPalette(const unsigned char* head, std::streamsize got) {
  if (got < 26 || LittleEndian(head + 14, 4) != 12) return false;
  const uint32_t bits = LittleEndian(head + 24, 2), pixelsAt = LittleEndian(head + 10, 4);
  return bits <= 8 && pixelsAt >= 26 && (pixelsAt - 26) / 3 < (uint32_t{1} << bits);
}

}  // namespace

bool IsQtPictureFile(const std::u16string& path) {
  if (IsGdalVirtualPath(path)) return false;
  std::ifstream in(ToUtf8(path), std::ios::binary);
  unsigned char head[26] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  if (in.gcount() < 2) return true;  // the standard decoder says what is wrong with it
  if (head[0] == 'B' && head[1] == 'M') return !IsOs2BitmapWithAShortPalette(head, in.gcount());
  if (std::memcmp(head, "GIF8", 4) == 0) return true;
  if (std::memcmp(head, "\x89PNG", 4) == 0) return true;
  return head[0] == 0xFF && head[1] == 0xD8;
}

namespace {

std::u16string Num(int64_t v) { return FromUtf8(std::to_string(v)); }

void Say(std::u16string* problem, const std::u16string& why) {
  if (problem) *problem = why;
}

bool AllBytes(GDALDataset& ds) {
  for (int b = 1; b <= ds.GetRasterCount(); ++b)
    if (ds.GetRasterBand(b)->GetRasterDataType() != GDT_Byte) return false;
  return true;
}

// Reads band `band` into byte `offset` of every R, G, B, X pixel.
bool ReadBand(GDALRasterBand& band, uint8_t* buffer, int offset) {
  const int w = band.GetXSize(), h = band.GetYSize();
  return band.RasterIO(GF_Read, 0, 0, w, h, buffer + offset, w, h, GDT_Byte, 4,
                       GSpacing{w} * 4, nullptr) == CE_None;
}

void ExpandPalette(GDALColorTable& table, uint8_t* px, size_t pixels) {
  uint8_t lut[256][3] = {};
  for (int i = 0; i < std::min(256, table.GetColorEntryCount()); ++i) {
    const GDALColorEntry* e = table.GetColorEntry(i);
    lut[i][0] = static_cast<uint8_t>(e->c1);
    lut[i][1] = static_cast<uint8_t>(e->c2);
    lut[i][2] = static_cast<uint8_t>(e->c3);
  }
  for (size_t i = 0; i < pixels; ++i, px += 4) std::memcpy(px, lut[px[0]], 3);
}

// Samples of fewer than 8 bits (a TIFF's NBITS) come as 0..2^n-1: stretched to 0..255, as
// viewers show them, a 4-bit grey's white was near black.
void StretchNarrowSamples(GDALRasterBand& band, uint8_t* px, size_t pixels) {
  const char* nbits = band.GetMetadataItem("NBITS", "IMAGE_STRUCTURE");
  const int bits = nbits ? std::atoi(nbits) : 8;
  if (bits < 1 || bits >= 8) return;
  const int top = (1 << bits) - 1;
  uint8_t lut[256];
  for (int v = 0; v < 256; ++v) lut[v] = static_cast<uint8_t>(std::min(v, top) * 255 / top);
  for (size_t i = 0; i < pixels; ++i, px += 4)
    for (int c = 0; c < 3; ++c) px[c] = lut[px[c]];
}

bool ReadColours(GDALDataset& ds, uint8_t* buffer, size_t pixels) {
  GDALRasterBand& first = *ds.GetRasterBand(1);
  const bool grey = ds.GetRasterCount() <= 2;
  if (!ReadBand(first, buffer, 0)) return false;
  if (grey && first.GetColorTable()) {
    ExpandPalette(*first.GetColorTable(), buffer, pixels);
    return true;
  }
  for (int c = 1; c < 3; ++c)
    if (!ReadBand(grey ? first : *ds.GetRasterBand(c + 1), buffer, c)) return false;
  StretchNarrowSamples(first, buffer, pixels);
  return true;
}

// The mask GDAL gives the raster (alpha band, no-data value or mask band) in the X bytes;
// false when every pixel is valid.
bool ReadFootprint(GDALDataset& ds, uint8_t* buffer, size_t pixels) {
  GDALRasterBand& first = *ds.GetRasterBand(1);
  if (first.GetMaskFlags() & GMF_ALL_VALID) return false;
  // Each colour band's own no-data value: a pixel lies outside only where every band holds its
  // value, as gdalwarp reads them. By the red band alone, with no-data 255 on each band, a pure
  // red was cut out and a pure blue kept. A colour band without one holds none.
  const bool perBand = first.GetMaskFlags() == GMF_NODATA && ds.GetRasterCount() >= 3;
  if (perBand)
    for (int b = 2; b <= 3; ++b)
      if (ds.GetRasterBand(b)->GetMaskFlags() != GMF_NODATA) return false;
  if (!ReadBand(*first.GetMaskBand(), buffer, 3)) return false;
  for (int b = 2; perBand && b <= 3; ++b) {
    GDALRasterBand& band = *ds.GetRasterBand(b);
    const int w = band.GetXSize(), h = band.GetYSize();
    std::vector<uint8_t> row(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
      if (band.GetMaskBand()->RasterIO(GF_Read, 0, y, w, 1, row.data(), w, 1, GDT_Byte, 1, w, nullptr) != CE_None)
        return false;
      uint8_t* px = buffer + 4 * (static_cast<size_t>(y) * w);
      for (int x = 0; x < w; ++x) px[4 * x + 3] = std::max(px[4 * x + 3], row[static_cast<size_t>(x)]);
    }
  }
  for (size_t i = 0; i < pixels; ++i) {
    uint8_t* px = buffer + 4 * i;
    if (px[3] == 0) px[0] = px[1] = px[2] = 0;  // transparent, as the window shows it
    else px[3] = 255;
  }
  return true;
}

// GDAL's read errors start with the file's path, which the line names already.
std::string WithoutPath(const std::string& message) {
  const size_t band = message.find(", band ");
  return band == std::string::npos ? message : message.substr(band + 2);
}

}  // namespace

std::optional<Picture> LoadRasterPicture(const std::u16string& path, int64_t limitBytes,
                                         std::u16string* problem) {
  EnsureGdalRegistered();
  QuietGdalErrors quiet;
  std::unique_ptr<GDALDataset> ds(
      GDALDataset::Open(ToUtf8(path).c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY |
                                                  (IsGdalVirtualPath(path) ? GDAL_OF_VERBOSE_ERROR : 0)));
  if (!ds && IsGdalVirtualPath(path)) {  // no file of ours to check: GDAL's own reason
    std::string why = quiet.LastMessage();
    std::string quoted(1, '`');
    quoted.append(ToUtf8(path)).append("' ");
    if (why.rfind(quoted, 0) == 0) why.erase(0, quoted.size());
    Say(problem, FromUtf8(why));
  }
  if (!ds || ds->GetRasterCount() < 1) return std::nullopt;
  const int w = ds->GetRasterXSize(), h = ds->GetRasterYSize();
  if (ds->GetRasterCount() > 4 || !AllBytes(*ds)) {
    const bool bytes = AllBytes(*ds), fewBands = ds->GetRasterCount() <= 4;
    const std::u16string how =
        bytes      ? Tr("georef", "gdal_translate -b 1 -b 2 -b 3 で 3 帯を選べます.")
        : fewBands ? Tr("georef", "gdal_translate -ot Byte -scale で 8 ビットにできます.")
                   : Tr("georef", "gdal_translate -b 1 -b 2 -b 3 -ot Byte -scale で 8 ビットの 3 帯にできます.");
    Say(problem, Arg(Tr("georef", "%1 帯の %2 のラスタは画像として読めません (8 ビットの灰色, パレット, RGB または RGBA が読めます)."),
                     {Num(ds->GetRasterCount()),
                      FromUtf8(GDALGetDataTypeName(ds->GetRasterBand(1)->GetRasterDataType()))}) +
                     u" " + how);
    return std::nullopt;
  }
  const int64_t bytes = int64_t{w} * h * 4;
  if (bytes > limitBytes) {
    Say(problem, Arg(Tr("frmMain", "画像が大きすぎます: %1x%2ピクセル (%3MB). この計算機で読み込める画像は %4MB までです."),
                     {Num(w), Num(h), Num(bytes >> 20), Num(limitBytes >> 20)}));
    return std::nullopt;
  }
  const size_t pixels = size_t(w) * size_t(h);
  std::shared_ptr<std::vector<uint8_t>> buffer;
  try {
    buffer = std::make_shared<std::vector<uint8_t>>(pixels * 4, 255);
  } catch (const std::bad_alloc&) {  // the machine's memory is shared, or limited (ulimit -v)
    Say(problem, Arg(Tr("frmMain", "画像を読み込むメモリが足りません: %1x%2ピクセル (%3MB)."),
                     {Num(w), Num(h), Num(bytes >> 20)}));
    return std::nullopt;
  }
  if (!ReadColours(*ds, buffer->data(), pixels)) {
    Say(problem, Arg(Tr("georef", "画像のデータが壊れているか途中で切れています (%1)"), {FromUtf8(WithoutPath(quiet.LastMessage()))}));
    return std::nullopt;
  }
  const bool footprint = ReadFootprint(*ds, buffer->data(), pixels);
  Picture p = Picture::Direct(w, h, buffer->data(), ptrdiff_t{w} * 4, buffer);
  p.footprint = footprint;
  return p;
}

}  // namespace picmap
