#include "app/picture_completeness.h"

#include <cstdlib>
#include <cstring>

namespace picmap {

namespace {

using Bytes = std::span<const uint8_t>;

bool StartsWith(Bytes d, const char* magic, size_t n) {
  return d.size() >= n && std::memcmp(d.data(), magic, n) == 0;
}

uint32_t Le16(Bytes d, size_t at) { return d[at] | (d[at + 1] << 8); }
uint32_t Le32(Bytes d, size_t at) { return Le16(d, at) | (Le16(d, at + 2) << 16); }
uint32_t Be16(Bytes d, size_t at) { return (d[at] << 8) | d[at + 1]; }
uint32_t Be32(Bytes d, size_t at) { return (Be16(d, at) << 16) | Be16(d, at + 2); }

// ---- BMP ----

constexpr size_t kBmpFileHeader = 14;
constexpr uint32_t kCoreHeader = 12;  // the old OS/2 header with 16-bit sizes

bool BmpIsWhole(Bytes d) {
  if (d.size() < kBmpFileHeader + kCoreHeader) return false;
  const uint64_t pixelsAt = Le32(d, 10);
  const uint32_t header = Le32(d, 14);
  int64_t width, height, bits;
  uint32_t compression = 0, imageSize = 0;
  if (header == kCoreHeader) {
    width = Le16(d, 18);
    height = Le16(d, 20);
    bits = Le16(d, 24);
  } else {
    if (d.size() < kBmpFileHeader + 24) return false;
    width = static_cast<int32_t>(Le32(d, 18));
    height = std::llabs(static_cast<int32_t>(Le32(d, 22)));  // negative: rows top down
    bits = Le16(d, 28);
    compression = Le32(d, 30);
    imageSize = Le32(d, 34);
  }
  if (width <= 0 || bits <= 0) return true;
  // Plain rows (0 RGB, 3 and 6 bit fields) are padded to 4 bytes; packed data (run lengths,
  // an embedded JPEG or PNG) states its own size.
  const bool plainRows = compression == 0 || compression == 3 || compression == 6;
  const uint64_t pixels = plainRows ? static_cast<uint64_t>((width * bits + 31) / 32 * 4) * height
                                    : imageSize;
  return pixelsAt + pixels <= d.size();
}

// ---- JPEG ----

bool IsRestartMarker(uint8_t code) { return code >= 0xD0 && code <= 0xD7; }

// The position of the 0xFF that starts the marker after a scan's entropy-coded data, or the
// data's size when it ends first. Inside that data 0xFF is followed by 0 or a restart marker.
size_t EndOfEntropyCodedData(Bytes d, size_t i) {
  while (i < d.size()) {
    const void* ff = std::memchr(d.data() + i, 0xFF, d.size() - i);
    if (!ff) return d.size();
    size_t j = static_cast<size_t>(static_cast<const uint8_t*>(ff) - d.data()) + 1;
    while (j < d.size() && d[j] == 0xFF) ++j;  // fill bytes
    if (j >= d.size()) return d.size();
    if (d[j] != 0x00 && !IsRestartMarker(d[j])) return j - 1;
    i = j + 1;
  }
  return d.size();
}

// Walks the marker segments from the start-of-image to the end-of-image marker.
bool JpegIsWhole(Bytes d) {
  constexpr uint8_t kEndOfImage = 0xD9, kStartOfScan = 0xDA, kTemporary = 0x01;
  size_t i = 2;
  for (;;) {
    if (i >= d.size()) return false;
    if (d[i] != 0xFF) return true;  // no marker where one belongs: broken, not cut
    while (i < d.size() && d[i] == 0xFF) ++i;
    if (i >= d.size()) return false;
    const uint8_t code = d[i++];
    if (code == kEndOfImage) return true;
    if (code == kTemporary || IsRestartMarker(code) || code == 0xD8) continue;  // no length
    if (i + 2 > d.size()) return false;
    const size_t length = Be16(d, i);
    if (length < 2) return true;
    i += length;
    if (code == kStartOfScan) i = EndOfEntropyCodedData(d, i);
  }
}

// ---- PNG ----

bool PngIsWhole(Bytes d) {
  constexpr size_t kSignature = 8, kChunkFrame = 12;  // length, type, CRC
  uint64_t i = kSignature;
  for (;;) {
    if (i + 8 > d.size()) return false;
    const bool end = std::memcmp(d.data() + i + 4, "IEND", 4) == 0;
    i += kChunkFrame + Be32(d, static_cast<size_t>(i));
    if (end) return i <= d.size();
    if (i > d.size()) return false;
  }
}

// ---- GIF ----

constexpr size_t kGifScreen = 13;  // signature and logical screen descriptor

// Past a chain of data sub-blocks (each a size byte and that many bytes, a 0 size ends it).
uint64_t SkipSubBlocks(Bytes d, uint64_t i) {
  while (i < d.size()) {
    const uint8_t size = d[static_cast<size_t>(i++)];
    if (size == 0) return i;
    i += size;
  }
  return d.size() + 1;
}

uint64_t ColourTableSize(uint8_t flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }

bool GifIsWhole(Bytes d) {
  constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
  constexpr size_t kImageDescriptor = 9;
  if (d.size() < kGifScreen) return false;
  uint64_t i = kGifScreen + ColourTableSize(d[10]);
  for (;;) {
    if (i >= d.size()) return false;
    const uint8_t block = d[static_cast<size_t>(i++)];
    if (block == kTrailer) return true;
    if (block == kExtension) {
      i = SkipSubBlocks(d, i + 1);  // past the label
    } else if (block == kImage) {
      if (i + kImageDescriptor > d.size()) return false;
      const uint8_t flags = d[static_cast<size_t>(i + kImageDescriptor - 1)];
      i += kImageDescriptor + ColourTableSize(flags) + 1;  // and the LZW code size
      i = SkipSubBlocks(d, i);
    } else {
      return true;
    }
  }
}

}  // namespace

bool PictureDataIsWhole(std::span<const uint8_t> data) {
  if (StartsWith(data, "BM", 2)) return BmpIsWhole(data);
  if (StartsWith(data, "\xFF\xD8\xFF", 3)) return JpegIsWhole(data);
  if (StartsWith(data, "\x89PNG\r\n\x1A\n", 8)) return PngIsWhole(data);
  if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6)) return GifIsWhole(data);
  return true;
}

}  // namespace picmap
