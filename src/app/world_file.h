// Extents from a world file: the six-line file beside a georeferenced picture (.pgw, .jgw,
// .gfw, .bpw, .tfw, .wld) that gives the pixel size and the centre of the upper-left pixel
// in degrees.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace picmap {

struct WorldFileExtents {
  int32_t west = 0, east = 0, north = 0, south = 0;  // arc-seconds
};

struct WorldFileResult {
  std::optional<WorldFileExtents> extents;  // empty when refused
  std::u16string message;                   // why it was refused (Japanese)
};

// The world file that belongs to a picture: same name with the picture's world-file
// extension, or ".wld", in any letter case. Empty when there is none.
std::u16string FindWorldFile(const std::u16string& picturePath);

// Reads the six numbers of a world file text (one per line).
struct WorldFileTerms {
  double a = 0, d = 0, b = 0, e = 0, c = 0, f = 0;  // x size, rotations, y size, x, y
};
std::optional<WorldFileTerms> ParseWorldFile(const std::string& text);

// Reads and parses the world file `file`; empty when it cannot be read or is no world file.
std::optional<WorldFileTerms> ReadWorldFile(const std::u16string& file);

// The outer edges of a width x height picture, checked against the ranges of the edge entries
// (longitudes -180..180 degrees with east at least 30" beyond west, latitudes -90..90 with
// north at least 30" above south).
WorldFileResult ExtentsFromWorldFile(const WorldFileTerms& terms, int32_t width, int32_t height);

// FindWorldFile, read, parse and ExtentsFromWorldFile in one step.
WorldFileResult ExtentsForPicture(const std::u16string& picturePath, int32_t width,
                                  int32_t height);

}  // namespace picmap
