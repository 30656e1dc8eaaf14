// The language of the messages the map libraries give inside a GIS program. The host's own
// messages are English, so ours are too, unless the user's locale is Japanese or the GDAL
// option MLL_LANGUAGE says "ja" (or "en").
#pragma once

#include <string>

namespace picmap::ogr {

// Installs the translator for the libraries' words; the plugin calls it once when loaded.
void SpeakHostLanguage();

// `source` (a library text, UTF-8 Japanese) as the message reads in the chosen language.
std::u16string HostText(const char* context, const char* source);

}  // namespace picmap::ogr
