// The map file reader. Whatever loads must save and load again to the same figures: as its
// own version (0.99 to 1.03 are written as 1.06), and as each writable version 1.04, 1.05 and
// 1.06, compared in what that version's layout carries; and reading element by element (the
// GDAL driver's way) must agree with the load.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "map/clsMap.h"
#include "map/clsMapRem.h"
#include "map/clsMapText.h"
#include "map/figure_common.h"
#include "map/map_elements.h"
#include "support/binfile.h"

namespace picmap::fuzz {
namespace {

Environment& Env() {
  static Environment env;
  return env;
}

std::u16string Unmappable(std::u16string text) {
  // Bytes that are no code page 932 read as U+FFFD, which the writer stores as "?".
  for (char16_t& c : text)
    if (c == u'\uFFFD') c = u'?';
  return text;
}

// A text starting with a zero byte is the empty text, whatever follows the zero. Version 1.04
// writes a lead byte that ends the Japanese text without its second byte as "?".
clsMapText::Bytes TextOf(const clsMapText& t, int32_t lang, int16_t ver) {
  clsMapText::Bytes b = t.TextAnsi(lang);
  if (b.empty() || b[0] == 0) b.assign(1, 0);
  const std::string_view chars(reinterpret_cast<const char*>(b.data()), b.size());
  if (lang == 2 && ver == 104 && EndsInLoneLeadByte(chars)) b.back() = '?';
  return b;
}

std::string Where(int16_t ver, int32_t i, const char* field) {
  return "version " + std::to_string(ver) + ", figure " + std::to_string(i) + ": " + field;
}

// b is a saved and loaded again, or (`saved` false) read from the same bytes as a.
void CompareFigure(const clsMapFigure& a, const clsMapFigure& b, int16_t ver, int32_t i, bool saved = true) {
  Check(a.FigCode() == b.FigCode(), Where(ver, i, "figure code"));
  Check(a.Admin() == b.Admin(), Where(ver, i, "Admin"));
  Check(a.Thing() == b.Thing(), Where(ver, i, "Thing"));
  const auto polyA = a.Poly(), polyB = b.Poly();  // point figures make a new list per call
  const auto pa = polyA->Points(), pb = polyB->Points();
  Check(std::vector<PolyPoint>(pa.begin(), pa.end()) == std::vector<PolyPoint>(pb.begin(), pb.end()),
        Where(ver, i, "points"));
  if (ver >= 105) {
    Check(a.OwnColor() == b.OwnColor(), Where(ver, i, "OwnColor"));
    Check(a.OwnShowMode() == b.OwnShowMode(), Where(ver, i, "OwnShowMode"));
    Check(a.JumpMark() == b.JumpMark(), Where(ver, i, "JumpMark"));
  }
  if (ver >= 106) {
    const double ia = a.FigID(), ib = b.FigID();
    Check(std::memcmp(&ia, &ib, sizeof ia) == 0, Where(ver, i, "FigID"));
    Check(a.Reserve() == b.Reserve(), Where(ver, i, "Reserve"));
  }
  if (a.FigCode() == 1) {
    const auto& ra = static_cast<const clsMapRem&>(a);
    const auto& rb = static_cast<const clsMapRem&>(b);
    Check((saved ? Unmappable(ra.Comment()) : ra.Comment()) == rb.Comment(),
          Where(ver, i, "comment ") + Show(ra.Comment()) + " / " + Show(rb.Comment()));
  } else if (a.FigCode() == 5) {
    const auto& ta = static_cast<const clsMapText&>(a);
    const auto& tb = static_cast<const clsMapText&>(b);
    for (int32_t lang : {1, 2})
      Check(TextOf(ta, lang, ver) == TextOf(tb, lang, ver),
            Where(ver, i, lang == 1 ? "text 1 " : "text 2 ") + Hex(TextOf(ta, lang, ver)) +
                "/ " + Hex(TextOf(tb, lang, ver)));
    Check(ta.TextFix() == tb.TextFix(), Where(ver, i, "TextFix"));
    Check(ta.Angle() == tb.Angle(), Where(ver, i, "Angle"));
  }
}

// Loads the input again, saves it (as `ver`, or as its own version for 0), loads the copy and
// compares. A version other than its own may refuse a figure it cannot hold (an error, not a
// crash); its own version must always be written.
void RoundTrip(const std::string& input, int16_t ver) {
  clsMap a;
  a.FileName(FromUtf8(input));
  Check(Outcome([&] { return a.Load(); }) == 0, "the input loaded once and not a second time");
  const int16_t loaded = a.Version();
  if (ver == 0 && a.Count() == 0) return;  // an empty document has nothing to save
  if (ver != 0) a.Version(ver);
  const std::string copy = Env().Fresh("copy" + std::to_string(ver) + ".MLL");
  a.FileName(FromUtf8(copy));
  a.Modify(true);
  const int32_t saved = Outcome([&] { return a.Save(); });
  if (ver != 0 && saved != 0) return;
  Check(saved == 0, "own version " + std::to_string(loaded) + " not saved: error " +
                        std::to_string(saved));
  const int16_t written = ver != 0 ? ver : (loaded < 104 ? int16_t{106} : loaded);
  clsMap b;
  b.FileName(FromUtf8(copy));
  Check(Outcome([&] { return b.Load(); }) == 0, "a saved copy (version " + std::to_string(written) + ") does not load");
  Check(b.Version() == written, "version " + std::to_string(written) + " reads back as " +
                                    std::to_string(b.Version()));
  Check(a.Count() == b.Count(), "version " + std::to_string(written) + ": " +
                                    std::to_string(a.Count()) + " figures saved, " +
                                    std::to_string(b.Count()) + " loaded");
  for (int32_t i = 1; i <= a.Count(); ++i) CompareFigure(*a.Item(i), *b.Item(i), written, i);
}

// The GDAL driver's reading: one walk over the elements, then each element read where it
// lies. A file Load reads must give the same figures; in any other, the walk or the reading of
// an element must end in a reported error.
void WalkAgreesWithLoad(const std::string& input, const clsMap* loaded) {
  BinaryReader r(FromUtf8(input));
  std::vector<MapElement> elements;
  int16_t version = 0;
  bool whole = true;
  try {
    WalkMapElements(r, version, [&](const MapElement& e) { elements.push_back(e); });
  } catch (const Error&) {
    whole = false;
  }
  MapElementReader reader(r, version);
  bool refused = false;
  for (const MapElement& e : elements) {
    Check(e.position == static_cast<int32_t>(&e - elements.data()) + 1, "the walk skipped a figure");
    try {
      const clsMapFigure& figure = reader.Read(e.offset, e.position);
      Check(e.right && figure.FigCode() == e.code, Where(version, e.position, "read, walked as refused"));
      if (loaded) CompareFigure(*loaded->Item(e.position), figure, version, e.position, false);
    } catch (const Error&) {
      Check(!e.right, Where(version, e.position, "refused, walked as right"));
      refused = true;
    }
  }
  if (!loaded) {
    Check(!whole || refused, "a file Load refuses was walked and read whole");
    return;
  }
  Check(whole && !refused, "a file Load reads was not walked and read whole");
  Check(static_cast<int32_t>(elements.size()) == loaded->Count(),
        std::to_string(loaded->Count()) + " figures loaded, " + std::to_string(elements.size()) + " walked");
}

}  // namespace
}  // namespace picmap::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picmap;
  auto& env = fuzz::Env();
  const std::string input =
      env.Write("in.MLL", std::string_view(reinterpret_cast<const char*>(data), size));
  {
    clsMap map;
    map.FileName(FromUtf8(input));
    if (fuzz::Outcome([&] { return map.Load(); }) != 0) {
      fuzz::Check(map.Count() == 0, "a refused file left figures in the document");
      fuzz::WalkAgreesWithLoad(input, nullptr);
      return 0;
    }
    fuzz::WalkAgreesWithLoad(input, &map);
  }
  for (int16_t ver : {0, 104, 105, 106}) fuzz::RoundTrip(input, static_cast<int16_t>(ver));
  env.Sweep();
  return 0;
}
