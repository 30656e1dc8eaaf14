// The block of header remarks a converted map starts with (19 lines) and the two remarks it
// ends with. The conversion window and the map file driver's writer both make maps the two
// target viewers open as converted maps, so both take their lines from here.
#pragma once

#include <string>
#include <vector>

#include <cstdint>

#include "support/platform.h"

namespace picmap {

class clsMapFigure;

class clsMap;

// Base name of a map path: the file-name part (after the last "/" or "\", or after the last
// ":" when there is neither) without its last four characters. Empty when that part has
// fewer than five characters.
std::u16string MapBaseName(const std::u16string& path);

// The 19 header lines of a map named `base` (the file name without folder and extension),
// converted at `toneLevels` levels per colour channel on `date`.
std::vector<std::u16string> ConverterHeaderLines(const std::u16string& base, int32_t toneLevels,
                                                 const DateTime& date);

// The lines after the last figure.
std::vector<std::u16string> ConverterClosingLines();

// Whether the figure is the last of the closing lines: a map without it at its end may have
// been cut short where a figure ends, which reads as a whole map of fewer figures.
bool IsMapsClosingLine(const clsMapFigure& figure);

// Adds each line as a remark figure at the end of the map.
void AddRemarks(clsMap& map, const std::vector<std::u16string>& lines);

}  // namespace picmap
