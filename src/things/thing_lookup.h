// ThingLookup: what the renderer and the map file driver take from the thing file beside a map (the
// map's base name with ".THG"): each thing's name and its Fore colour, which stands in for a
// figure's own colour when the figure has none.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace picmap {

class clsThings;

// The colour of a figure that neither has its own nor finds one through its thing.
constexpr int32_t kNeutralGrey = 0x808080;

class ThingLookup {
 public:
  ThingLookup() = default;  // no thing file
  explicit ThingLookup(std::shared_ptr<clsThings> things) : things_(std::move(things)) {}

  // Reads the thing file beside `mapFile` ("X.MLL" -> "X.THG", else "X.thg"); a map without
  // one, or one that cannot be read, gives a lookup without things.
  static ThingLookup BesideMap(const std::u16string& mapFile);
  // The whole content of a file, or none when there is no such file.
  using FileReader = std::function<std::optional<std::string>(const std::u16string& file)>;
  // BesideMap with the files read by `read` (the map file driver reads through GDAL). Without
  // things, `problem` (when given) says why: no thing file, or what is wrong with it.
  static ThingLookup BesideMap(const std::u16string& mapFile, const FileReader& read,
                               std::u16string* problem = nullptr);
  // The file BesideMap looks for first.
  static std::u16string ThingFileOf(const std::u16string& mapFile);

  bool HasThings() const { return things_ != nullptr; }
  // The thing's name; none without a thing file or for a number it does not hold.
  std::optional<std::u16string> NameOf(int16_t thing) const;
  // The thing's Fore colour (0x00BBGGRR) on page 1; none when it has no valid one.
  std::optional<int32_t> ForeOf(int16_t thing) const;
  // The category number of the thing (1 .. 20) and its name; none without the thing.
  std::optional<int16_t> CategoryOf(int16_t thing) const;
  std::optional<std::u16string> CategoryNameOf(int16_t thing) const;
  // A figure's own colour, else its thing's Fore colour, else kNeutralGrey.
  int32_t ColorOf(int32_t ownColor, int16_t thing) const;

 private:
  std::shared_ptr<clsThings> things_;
};

}  // namespace picmap
