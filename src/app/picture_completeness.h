// Whether a picture file holds all the data its own structure announces. A file cut off in
// transfer still decodes: the decoders fill what is missing with black (or leave whatever the
// buffer held) and at most warn, so the conversion would map a half that is not there.
#pragma once

#include <cstdint>
#include <span>

namespace picmap {

// BMP: the pixel array the header declares; JPEG: the end-of-image marker after the last
// scan; PNG: the IEND chunk; GIF: the trailer after the last block. Data of any other kind,
// and data too broken to follow, count as whole: the decoder then decides.
bool PictureDataIsWhole(std::span<const uint8_t> data);

}  // namespace picmap
