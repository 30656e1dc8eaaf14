// Reading picture files (BMP, GIF, PNG, JPEG) into the 0x00BBGGRR buffer the conversion reads,
// shared by the desktop window and the scripted window.
#pragma once

#include <QImage>
#include <optional>
#include <string>

#include "app/picture.h"
#include "app/window_port.h"

namespace picmap {

// The loader a path takes: names whose last three characters are "PNG" in any case take the
// PNG decoder, all others the standard one.
PictureLoader LoaderForPath(const std::u16string& path);

// Decodes the file. The PNG decoder reads PNG data only; the standard loader recognises the
// format from the content. std::nullopt when the file cannot be read as a picture, or when it
// is cut off before the end of its data.
std::optional<Picture> LoadPictureFile(const std::u16string& path, PictureLoader loader);

// Why a file could not be loaded, as the line after its path: missing, no access, too large
// for this machine (with its size), incomplete, or no picture.
std::u16string PictureProblem(const std::u16string& path);

// The most memory one decoded picture may take: a quarter of the machine's memory.
int PictureMemoryLimitMB();

// Conversions between Qt images and pictures. Translucent pixels are laid over white, the
// colour an empty picture box shows through. The picture takes over the image's buffer, and
// the image of a picture shares the picture's: neither copies the pixels.
Picture PictureFromImage(QImage image);
QImage ImageFromPicture(const Picture& picture);

// 0x00BBGGRR from and to Qt's 0xAARRGGBB.
inline int32_t ColourFromRgb(QRgb rgb) {
  return static_cast<int32_t>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}
inline QRgb RgbFromColour(int32_t colour) {
  return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace picmap
