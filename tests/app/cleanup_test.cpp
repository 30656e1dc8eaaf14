// Clean-up of real pictures: palette files, colour reduction, the sieve, and generation of
// regions from a cleaned picture.
#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "app/cleanup.h"
#include "app/grain.h"
#include "app_fixture.h"
#include "map/clsMap.h"
#include "support/errors.h"
#include "support/figcodes.h"

namespace picmap::test {
namespace {

constexpr int32_t kOrange = 0x3082F5, kLime = 0x3CF5D2, kYellow = 0x19E1FF;  // 0x00BBGGRR

int32_t Mix(int32_t a, int32_t b, double t) {
  int32_t c = 0;
  for (int s = 0; s < 24; s += 8)
    c |= static_cast<int32_t>(std::lround(((a >> s) & 0xFF) * (1 - t) + ((b >> s) & 0xFF) * t)) << s;
  return c;
}

TEST(PaletteFile, ReadsHexLinesAndGimpPalettesAndNamesTheLineItCannotRead) {
  TempFolder folder;
  folder.Write("p.txt", "# borders\n#FF0000\n\n#00ff80 green\n#0000FF\t# sea\n#Colour\n#FF0000\u3000赤\n");
  EXPECT_EQ(ReadPaletteFile(folder.File("p.txt")), (std::vector<int32_t>{0x0000FF, 0x80FF00, 0xFF0000}));
  folder.Write("p.gpl", "GIMP Palette\nName: map\nColumns: 2\n#\n255   0   0\tRed\n 0 0 255 Blue\n");
  EXPECT_EQ(ReadPaletteFile(folder.File("p.gpl")), (std::vector<int32_t>{0x0000FF, 0xFF0000}));
  folder.Write("bom.gpl", "\xEF\xBB\xBFGIMP Palette\r\nName: map\r\n255 0 0 Red\r\n");
  EXPECT_EQ(ReadPaletteFile(folder.File("bom.gpl")), (std::vector<int32_t>{0x0000FF}));
  // A word; a digit too few; a letter O for a zero, or four; a mark after a colour; "0x".
  for (const std::string& bad : std::vector<std::string>{"#FF0000\nred\n", "#FF0000\n#00800\n", "#FF0000\n#FF00O0\n", "#FF0000\n#FFOOOO\n",
                                "#FF0000\n#FF0000,\n", std::string("#FF0000\n#FFFFFF\0\n", 17), "#FF0000\n#0x0000\n"}) {
    folder.Write("bad.txt", bad);
    try {
      ReadPaletteFile(folder.File("bad.txt"));
      FAIL() << "a palette with a bad line was read: " << bad;
    } catch (const Error& e) {
      EXPECT_NE(e.Description().find(u"bad.txt: 2 行目"), std::u16string::npos);
    }
  }
}

// Orange beside lime, anti-aliased over four columns: their blends lie nearer to the yellow
// of the block below than to either, yet no yellow strip may appear along their border.
TEST(CleanPicture, EdgeColoursFallToTheColoursBesideThem) {
  Picture pic(40, 30, kYellow);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const double t = std::clamp((x - 18) / 5.0, 0.0, 1.0);
      pic.Set(x, y, Mix(kOrange, kLime, t));
    }
  CleanupOptions o;
  o.colours = 3;
  const Picture clean = CleanPicture(pic, o, -1);
  std::set<int32_t> colours;
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) colours.insert(clean.At(x, y));
  EXPECT_EQ(colours.size(), 3u);
  const int32_t left = clean.At(0, 0), right = clean.At(39, 0), below = clean.At(0, 29);
  for (int32_t y = 0; y < 18; ++y) {  // rows away from the yellow block
    int32_t x = 0;
    while (x < 40 && clean.At(x, y) == left) ++x;
    EXPECT_GT(x, 18);
    EXPECT_LT(x, 23);
    while (x < 40 && clean.At(x, y) == right) ++x;
    EXPECT_EQ(x, 40) << "row " << y << " holds another colour between orange and lime";
  }
  EXPECT_NE(below, left);
  EXPECT_NE(below, right);
}

// A two-pixel speck sharing one pixel edge with the large region and five with the smaller
// one goes to the smaller one (the largest neighbour would be the other).
TEST(CleanPicture, TheSieveMergesIntoTheLongestBorderNotTheLargestNeighbour) {
  Picture pic(12, 8, 0x0000FF);
  for (int32_t y = 5; y < 8; ++y)
    for (int32_t x = 0; x < 12; ++x) pic.Set(x, y, 0x00FF00);
  pic.Set(5, 5, 0xFF0000);
  pic.Set(5, 6, 0xFF0000);
  pic.Set(11, 0, 0x00FF00);  // a speck inside the blue
  CleanupOptions o;
  o.sieve = 3;
  const Picture clean = CleanPicture(pic, o, -1);
  EXPECT_EQ(clean.At(5, 5), 0x00FF00);
  EXPECT_EQ(clean.At(5, 6), 0x00FF00);
  EXPECT_EQ(clean.At(11, 0), 0x0000FF);
}

// A faint line breaks into dashes; a dash near the next one, or between two areas, goes to the
// areas beside it, while a line as short that goes round an island, or cuts a corner off the
// picture, stays, and so does an islet standing alone in the sea.
TEST(CleanPicture, DashesOfALineGoButOutlinesAndIsletsStay) {
  IndexGrid g;
  g.width = 40, g.height = 30;
  g.palette = {0xFFFFFF, 0x000000, 0x00FF00};
  g.lines = {false, true, false};
  g.index.assign(size_t(g.width) * g.height, 0);
  g.sure.assign(g.index.size(), kSureOfArea);
  const auto line = [&](int32_t x, int32_t y) {
    g.index[size_t(y) * g.width + x] = 1;
    g.sure[size_t(y) * g.width + x] = kSureOfLine;
  };
  for (int32_t x = 5; x < 22; ++x)
    if (x != 13) line(x, 20), line(x, 21);  // a line broken into two dashes
  for (int32_t x = 5; x < 15; ++x) line(x, 25);  // a dash between two areas
  for (int32_t y = 26; y < 30; ++y)
    for (int32_t x = 0; x < 24; ++x) g.index[size_t(y) * g.width + x] = 2;
  for (int32_t i = 0; i < 8; ++i) line(25 + i, 10), line(25 + i, 17), line(25, 10 + i), line(32, 10 + i);
  for (int32_t y = 11; y < 17; ++y)
    for (int32_t x = 26; x < 32; ++x) g.index[size_t(y) * g.width + x] = 2;  // an island, outlined
  for (int32_t y = 22; y < 25; ++y)
    for (int32_t x = 35; x < 38; ++x) line(x, y);  // an islet, all outline
  for (int32_t i = 0; i < 6; ++i) line(i, 5 - i);  // a corner cut off
  Sieve(g, 4, 8, 80);
  const auto at = [&](int32_t x, int32_t y) { return g.index[size_t(y) * g.width + x]; };
  EXPECT_EQ(at(9, 20), 0);
  EXPECT_EQ(at(18, 21), 0);
  EXPECT_NE(at(9, 25), 1);
  EXPECT_EQ(at(25, 13), 1);
  EXPECT_EQ(at(28, 13), 2);
  EXPECT_EQ(at(36, 23), 1) << "an islet was taken for a dash";
  EXPECT_EQ(at(2, 3), 1);
}

// A border the blur broke: where the line runs along most of the border between two areas,
// the areas touching in its gaps take the line's colour, so the border is one line again; two
// areas meeting along most of their border with only a short line between them are left be.
TEST(CleanPicture, GapsOfABorderLineAreBridged) {
  IndexGrid g;
  g.width = 30, g.height = 40;
  g.palette = {0xFFFFFF, 0x000000, 0x00FF00, 0x0000FF};
  g.lines = {false, true, false, false};
  g.index.assign(size_t(g.width) * g.height, 0);
  const auto at = [&](int32_t x, int32_t y) -> uint8_t& { return g.index[size_t(y) * g.width + x]; };
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 15; x < 30; ++x) at(x, y) = 2;
  for (int32_t y = 0; y < 20; ++y)
    if (y != 8 && y != 9) at(14, y) = 1, at(15, y) = 1;  // a border with a gap
  for (int32_t y = 20; y < 40; ++y)
    for (int32_t x = 15; x < 30; ++x) at(x, y) = 3;
  for (int32_t y = 20; y < 24; ++y) at(14, y) = 1, at(15, y) = 1;  // a short line on a long border
  BridgeLineGaps(g);
  EXPECT_EQ(at(14, 8), 1);
  EXPECT_EQ(at(15, 9), 1);
  EXPECT_EQ(at(13, 8), 0);
  EXPECT_EQ(at(16, 8), 2);
  for (int32_t y = 24; y < 40; ++y) EXPECT_EQ(at(14, y), 0) << "row " << y;
}

// A blurred border between two blue neighbours fades at one step: the faint pixels join the
// line again though blue lies on both its sides. A short neck of blue between the borders of
// two other areas, as dark, stays open: beyond its lines lie those areas, not more blue.
TEST(CleanPicture, ALineFadingInsideOneColourIsJoinedButANeckStaysOpen) {
  const int32_t blue = 0xE0A040, black = 0x000000, red = 0x0000FF;
  Picture pic(40, 40, blue);
  for (int32_t x = 2; x < 38; ++x) {
    const int32_t ink = x == 20 || x == 21 ? Mix(blue, black, 0.45) : black;
    pic.Set(x, 10, ink), pic.Set(x, 11, ink);
  }
  for (int32_t x = 17; x < 24; ++x) {
    for (int32_t y = 20; y < 25; ++y) pic.Set(x, y, red);
    for (int32_t y = 29; y < 34; ++y) pic.Set(x, y, kYellow);
    pic.Set(x, 25, black), pic.Set(x, 28, black);
    for (int32_t y = 26; y < 28; ++y) pic.Set(x, y, x >= 19 && x < 22 ? Mix(blue, black, 0.3) : black);
  }
  const IndexGrid g = SnapToPalette(pic, {blue, black, red, kYellow}, {false, true, false, false});
  const auto at = [&](int32_t x, int32_t y) { return g.index[size_t(y) * g.width + x]; };
  for (int32_t x = 2; x < 38; ++x) EXPECT_EQ(at(x, 10), 1) << "column " << x;
  EXPECT_EQ(at(20, 26), 0) << "the neck was closed";
  EXPECT_EQ(at(20, 27), 0) << "the neck was closed";
}

// An islet a pixel wide has no flat spot to be sure of its colour by, yet stands out from the
// lake round it in no mix of the colours there: it stays. A strip of the same colour between
// the lake and the land beside it is where a border was tinted, and goes.
TEST(CleanPicture, AnIsletAPixelWideStaysButAStripAlongAShoreGoes) {
  const int32_t violet = 0xE22B8A, lake = 0xCECE02, blue = 0xAD5F41, black = 0x000000;
  Picture pic(60, 40, violet);
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 15; ++x) pic.Set(x, y, blue);
    pic.Set(15, y, black);
  }
  for (int32_t y = 10; y < 31; ++y)
    for (int32_t x = 25; x < 56; ++x) pic.Set(x, y, lake);
  for (int32_t x = 30; x < 54; ++x) pic.Set(x, 20, blue);  // the islet
  for (int32_t x = 28; x < 52; ++x) pic.Set(x, 10, blue);  // the strip, lake below, land above
  IndexGrid g = SnapToPalette(pic, {violet, lake, blue, black}, {false, false, false, true});
  Sieve(g, 20, 8, 240, &pic);
  const auto at = [&](int32_t x, int32_t y) { return g.index[size_t(y) * g.width + x]; };
  for (int32_t x = 30; x < 54; ++x) EXPECT_EQ(at(x, 20), 2) << "the islet lost column " << x;
  for (int32_t x = 28; x < 52; ++x) EXPECT_NE(at(x, 10), 2) << "the strip stayed at column " << x;
}

// A picture in its own colours is sieved by size alone: a one-pixel strip of a colour between
// two others is a region of the map when it is long enough, even though it looks like a blend.
TEST(CleanPicture, APictureInItsOwnColoursIsSievedBySizeAlone) {
  const int32_t red = 0x0000FF, between = Mix(red, kYellow, 0.5);
  Picture pic(40, 12, red);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 21; x < 40; ++x) pic.Set(x, y, x == 21 ? between : kYellow);
  CleanupOptions o;
  o.sieve = 10;
  o.regions = true;
  const Picture clean = CleanPicture(pic, o, -1);
  for (int32_t y = 0; y < 12; ++y) EXPECT_EQ(clean.At(21, y), between) << "row " << y;
}

// A clean drawing asked for no fewer colours than it has, or snapped to a palette holding them
// all, keeps every pixel: its one-pixel borders, diagonal ones too, were given to their sides.
TEST(CleanPicture, ACleanDrawingKeepsItsOnePixelBordersWhateverTheColoursAsked) {
  constexpr int32_t kBlack = 0;
  Picture pic(60, 60, kOrange);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 60; ++x) {
      if (x + y > 60) pic.Set(x, y, kLime);
      if (x + y == 60 || x == 30) pic.Set(x, y, kBlack);  // a diagonal and a straight border
    }
  CleanupOptions byCount, byPalette, asItIs;
  byCount.colours = 3;
  byPalette.palette = {kBlack, kOrange, kLime, kYellow};
  for (CleanupOptions* o : {&byCount, &byPalette, &asItIs}) {
    o->sieve = 20;
    o->regions = true;
    const Picture clean = CleanPicture(pic, *o, -1);
    int changed = 0;
    for (int32_t y = 0; y < 60; ++y)
      for (int32_t x = 0; x < 60; ++x) changed += clean.At(x, y) != pic.At(x, y);
    EXPECT_EQ(changed, 0) << "colours " << o->colours << ", palette of " << o->palette.size();
  }
}

// A blurred one-pixel border scaled up three times, snapped to a palette holding its black:
// the palette's line is kept through the sieve, as a line of colours chosen by count is; also
// when the palette lists many colours the picture does not show (a standard set).
TEST(CleanPicture, AThinLineOfAPaletteSurvivesTheSieve) {
  constexpr int32_t kBlack = 0;
  Picture pic(90, 90, kOrange);
  for (int32_t y = 0; y < 90; ++y)
    for (int32_t x = 0; x < 90; ++x) {
      const double across = std::abs(x - y * 0.7 - 30) / std::hypot(1.0, 0.7);  // from the line's middle
      const double ink = std::clamp(1.9 - across, 0.0, 1.0) * 0.85;
      pic.Set(x, y, Mix(x - y * 0.7 > 30 ? kLime : kOrange, kBlack, ink));
    }
  std::vector<int32_t> standard = {kOrange, kLime, kBlack};
  for (int32_t k = 0; k < 70; ++k) standard.push_back(0xFF0000 | (3 * k));  // blues to violets
  for (const auto& palette : {std::vector<int32_t>{kOrange, kLime, kBlack}, standard}) {
    CleanupOptions o;
    o.palette = palette;
    o.sieve = 20;
    o.regions = true;
    const Picture clean = CleanPicture(pic, o, -1);
    int black = 0;
    for (int32_t y = 0; y < 85; ++y) black += clean.At(static_cast<int32_t>(y * 0.7 + 30), y) == kBlack;  // x < 90
    EXPECT_GE(black, 80) << "palette of " << palette.size();
  }
}

// A picture cut out of its background keeps a rim of blends with it along the cut; drawn on
// outside before cleaning, pieces of that rim passed for regions and stayed as specks.
TEST(CleanPicture, TheRimOfACutOutPictureLeavesNoRegionBelowTheSieve) {
  constexpr int32_t w = 60, h = 60, sieve = 20;
  const auto inside = [](int32_t x, int32_t y) { return (x - 30) * (x - 30) + (y - 30) * (y - 30) < 25 * 25; };
  auto bits = std::make_shared<std::vector<uint32_t>>(size_t{w} * h, 0u);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      if (!inside(x, y)) continue;
      const bool rim = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
      const int32_t colour = rim ? ((x + y) / 2 % 2 ? 0xC0C0C0 : 0x909090) : x < 30 ? kOrange : kLime;
      (*bits)[size_t(y) * w + x] = static_cast<uint32_t>(colour) | 0xFF000000u;
    }
  Picture pic = Picture::Direct(w, h, reinterpret_cast<const uint8_t*>(bits->data()), ptrdiff_t{w} * 4, bits);
  pic.footprint = true;
  CleanupOptions o;
  o.colours = 4;
  o.sieve = sieve;
  o.regions = true;
  const Picture clean = CleanPicture(pic, o, -1);
  // Regions inside the footprint, 4-connected as they are traced.
  std::vector<int32_t> region(size_t{w} * h, -1);
  for (int32_t start = 0; start < w * h; ++start) {
    if (region[start] >= 0 || !inside(start % w, start / w)) continue;
    std::vector<int32_t> stack{start}, pixels;
    region[start] = start;
    while (!stack.empty()) {
      const int32_t p = stack.back();
      stack.pop_back();
      pixels.push_back(p);
      for (const int32_t q : {p - 1, p + 1, p - w, p + w}) {
        if (q < 0 || q >= w * h || std::abs(q % w - p % w) > 1 || region[q] >= 0 || !inside(q % w, q / w)) continue;
        if (clean.At(q % w, q / w) != clean.At(p % w, p / w)) continue;
        region[q] = start;
        stack.push_back(q);
      }
    }
    EXPECT_GE(pixels.size(), size_t{sieve}) << "a region of " << pixels.size() << " pixels at (" << start % w << ", "
                                            << start / w << ")";
  }
}

// A reduction may take the blend of two colours from the pixels of their border; the short
// strips of it along that border are merged though their pixels are sure of it, while a wide
// area of the same colour stays.
TEST(CleanPicture, StripsOfABlendColourAlongABorderAreMerged) {
  const int32_t red = 0x0000FF, between = Mix(red, kYellow, 0.5);
  IndexGrid g;
  g.width = 40, g.height = 30;
  g.palette = {red, kYellow, between};
  g.index.assign(40 * 30, 0);
  g.sure.assign(40 * 30, kSureOfArea);
  Picture pic(40, 30, red);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 20; x < 40; ++x) {
      const uint8_t c = x == 20 && y < 25 ? 2 : y >= 24 && x >= 30 ? 2 : 1;
      g.index[static_cast<size_t>(y) * 40 + x] = c;
      pic.Set(x, y, g.palette[c]);
    }
  Sieve(g, 20, 8, 80, &pic);
  for (int32_t y = 0; y < 24; ++y) EXPECT_NE(g.index[static_cast<size_t>(y) * 40 + 20], 2) << "row " << y;
  EXPECT_EQ(g.index[static_cast<size_t>(27) * 40 + 35], 2) << "a wide area of the blend colour was merged";
}

// Where a dark line meets an area, their blend can lie nearest to a shade of the area that is
// another region's colour, a few of its pixels sure of that shade: the patch goes back to the
// area, though the shade is farther from it than near colours usually are.
TEST(CleanPicture, APatchOfAShadeWhereALineMeetsAnAreaGoesBackToTheArea) {
  const int32_t area = 0xA98383, shade = 0xD28281, line = 0x7E2323, beyond = 0xDDDDDD;
  IndexGrid g;
  g.width = 40, g.height = 30;
  g.palette = {area, shade, line, beyond};
  g.index.assign(40 * 30, 0);
  g.sure.assign(40 * 30, kSureOfArea);
  Picture pic(40, 30, area);
  const auto set = [&](int32_t x, int32_t y, uint8_t c, int32_t colour, uint8_t sure) {
    g.index[static_cast<size_t>(y) * 40 + x] = c;
    g.sure[static_cast<size_t>(y) * 40 + x] = sure;
    pic.Set(x, y, colour);
  };
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 18; x < 40; ++x) set(x, y, x < 20 ? 2 : 3, x < 20 ? line : beyond, x < 20 ? kSureOfLine : kSureOfArea);
  for (int32_t y = 5; y < 18; ++y)
    for (int32_t x = 16; x < 18; ++x) set(x, y, 1, Mix(area, line, 0.4), y < 6 ? kSureOfArea : 0);
  Sieve(g, 20, 8, 80, &pic);
  for (int32_t y = 5; y < 18; ++y) EXPECT_EQ(g.index[static_cast<size_t>(y) * 40 + 16], 0) << "row " << y;
}

TEST(CleanPicture, TheBackgroundStaysOneOfTheColoursExactly) {
  Picture pic(20, 20, 0xFEFDFF);
  for (int32_t y = 5; y < 15; ++y)
    for (int32_t x = 5; x < 15; ++x) pic.Set(x, y, 0x1010E0);
  pic.Set(0, 0, 0xFFFFFF);
  CleanupOptions o;
  o.colours = 2;
  const Picture clean = CleanPicture(pic, o, 0xFFFFFF);
  EXPECT_EQ(clean.At(3, 3), 0xFFFFFF);
  EXPECT_NE(clean.At(10, 10), 0xFFFFFF);
  // A full palette leaves the background no place: refused rather than mapped.
  CleanupOptions full;
  for (int32_t i = 0; i < 256; ++i) full.palette.push_back(i * 0x010203);
  EXPECT_THROW(CleanPicture(pic, full, 0xFFFFFF), Error);
  full.palette.back() = 0xFFFFFF;
  EXPECT_EQ(CleanPicture(pic, full, 0xFFFFFF).At(3, 3), 0xFFFFFF);
}

// Paper noise round a white background given as the background (up to 12 steps a channel, as
// a JPEG or a scan leaves it) stays the background's and unmapped, while a pale blue area 50
// steps off white keeps a colour of its own.
TEST(CleanPicture, NoiseRoundTheBackgroundIsTheBackground) {
  Picture pic(64, 48, 0xFFFFFF);
  uint32_t seed = 12345;
  const auto noise = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int32_t>((seed >> 16) % 13);
  };
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const int32_t r = 255 - noise(), g = 255 - noise(), b = 255 - noise();
      pic.Set(x, y, r | g << 8 | b << 16);
    }
  for (int32_t y = 8; y < 24; ++y)
    for (int32_t x = 8; x < 24; ++x) pic.Set(x, y, 0x1010E0);
  for (int32_t y = 28; y < 44; ++y)
    for (int32_t x = 36; x < 60; ++x) pic.Set(x, y, 0xFAE1D2);
  CleanupOptions o;
  o.colours = 4;
  const Picture clean = CleanPicture(pic, o, 0xFFFFFF);
  int64_t background = 0;
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) background += clean.At(x, y) == 0xFFFFFF;
  EXPECT_EQ(background, 64 * 48 - 16 * 16 - 24 * 16);
  for (int s = 0; s < 24; s += 8) EXPECT_NEAR(clean.At(47, 35) >> s & 0xFF, 0xFAE1D2 >> s & 0xFF, 8);
  EXPECT_NE(clean.At(15, 15), 0xFFFFFF);
}

// A background colour typed that the picture holds no area of (a dark blue beside the blends
// of black and blue) is no colour of the clean-up: the blends nearest to it were left out of
// the map as holes along the border.
TEST(CleanPicture, ABackgroundThePictureDoesNotShowTakesNoPixel) {
  constexpr int32_t kBlue = 0xC80000, kTypedBackground = 0x563412;
  Picture pic(60, 40, 0);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 60; ++x) pic.Set(x, y, Mix(0, kBlue, std::clamp((x - 27) / 6.0, 0.0, 1.0)));
  for (const int colours : {2, 3}) {
    CleanupOptions o;
    o.colours = colours;
    o.sieve = 4;
    CleanupReport report;
    const Picture clean = CleanPicture(pic, o, kTypedBackground, &report);
    EXPECT_TRUE(report.backgroundUnseen);
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 60; ++x) ASSERT_NE(clean.At(x, y), kTypedBackground) << x << "," << y << " of " << colours;
  }
  CleanupReport shown;
  CleanupOptions o;
  o.colours = 2;
  CleanPicture(pic, o, kBlue, &shown);
  EXPECT_FALSE(shown.backgroundUnseen);
  // Paper seen only in gaps two pixels wide between areas, a few steps off the white typed, is
  // the background still, and stays unmapped.
  Picture gaps(120, 120, 0);
  uint32_t seed = 1;
  const auto noise = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int32_t>((seed >> 16) % 9) - 4;
  };
  const auto inGap = [](int32_t x, int32_t y) { return (x % 30) / 2 == 7 || (y % 30) / 2 == 7; };
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 120; ++x) {
      const int32_t c = inGap(x, y) ? 0xFAFAFA : ((x / 30 + y / 30) % 2 ? 0x2020D0 : 0x20B020);
      int32_t noisy = 0;
      for (int s = 0; s < 24; s += 8) noisy |= std::clamp(((c >> s) & 0xFF) + noise(), 0, 255) << s;
      gaps.Set(x, y, noisy);
    }
  o.colours = 3;
  o.sieve = 4;
  CleanupReport paper;
  const Picture clean = CleanPicture(gaps, o, 0xFFFFFF, &paper);
  EXPECT_FALSE(paper.backgroundUnseen);
  int gapPixels = 0, white = 0;
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 120; ++x)
      if (inGap(x, y)) ++gapPixels, white += clean.At(x, y) == 0xFFFFFF;
  EXPECT_GE(white, gapPixels * 9 / 10);
}

// A background picked on a noisy sea takes the pixel under the pointer, which may lie at the
// edge of the noise (14 steps a channel off the sea's middle): the whole sea is still the
// background's, and the land keeps its colour.
TEST(CleanPicture, ABackgroundPickedAtTheEdgeOfTheNoiseTakesTheWholeSea) {
  Picture pic(64, 48, 0);
  uint32_t seed = 777;
  const auto noise = [&] {  // four draws: bell-shaped, 4 steps either way on average
    int32_t sum = -12;
    for (int k = 0; k < 4; ++k) sum += static_cast<int32_t>(((seed = seed * 1103515245u + 12345u) >> 16) % 7);
    return sum;
  };
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const int32_t r = 65 + noise(), g = 94 + noise(), b = 152 + noise();
      pic.Set(x, y, r | g << 8 | b << 16);
    }
  for (int32_t y = 8; y < 40; ++y)
    for (int32_t x = 8; x < 40; ++x) pic.Set(x, y, 0x3CA0E6);
  CleanupOptions o;
  o.colours = 8;
  const int32_t picked = 51 | 80 << 8 | 138 << 16;
  const Picture clean = CleanPicture(pic, o, picked);
  int64_t background = 0;
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) background += clean.At(x, y) == picked;
  EXPECT_EQ(background, 64 * 48 - 32 * 32);
  EXPECT_EQ(clean.At(20, 20), 0x3CA0E6);
}

// A flat area whose colour the palette lacks goes whole to its nearest colour. Its rim lies
// beside other colours, and its colour is a mix of them (blue between red and white, or
// between white and a darker blue); a rim taken for a blend came out another colour than the
// middle. Blue under red, three rows apart, with red and green given; then 16 squares of
// colours reduced to 8.
TEST(CleanPicture, AFlatAreaGoesWholeToOneColour) {
  Picture two(48, 32, 0xFFFFFF);
  for (int32_t y = 4; y < 14; ++y)
    for (int32_t x = 4; x < 30; ++x) two.Set(x, y, 0x0000FF);
  for (int32_t y = 17; y < 28; ++y)
    for (int32_t x = 4; x < 40; ++x) two.Set(x, y, 0xFF0000);
  CleanupOptions given;
  given.palette = {0x0000FF, 0x008000};
  const Picture clean = CleanPicture(two, given, 0xFFFFFF);
  for (int32_t y = 17; y < 28; ++y)
    for (int32_t x = 4; x < 40; ++x) ASSERT_EQ(clean.At(x, y), 0x008000) << x << "," << y;

  Picture grid(80, 80, 0xFFFFFF);
  for (int32_t i = 0; i < 16; ++i) {
    const int32_t colour = (i * 37 % 240) | (i * 91 % 240) << 8 | (i * 53 % 240) << 16;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) grid.Set(i % 4 * 20 + 2 + x, i / 4 * 20 + 2 + y, colour);
  }
  CleanupOptions fewer;
  fewer.colours = 8;
  const Picture reduced = CleanPicture(grid, fewer, 0xFFFFFF);
  for (int32_t i = 0; i < 16; ++i) {
    const int32_t left = i % 4 * 20 + 2, top = i / 4 * 20 + 2;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x)
        ASSERT_EQ(reduced.At(left + x, top + y), reduced.At(left + 8, top + 8)) << "square " << i;
  }
}

// Grain of a scan (each channel off by a normal draw of 7 levels): the colours were chosen among
// its shades, so that of six areas 60 levels apart three merged and one went to the paper.
TEST(CleanPicture, AScansGrainIsAveragedAwayBeforeTheColoursAreChosen) {
  const int32_t colours[] = {0x8282BE, 0x82BE82, 0xBE8282, 0xBEBE82, 0xBEBEBE, 0x82BEBE};
  const auto areaAt = [&](int32_t x, int32_t y) {
    return x < 8 || y < 8 || x >= 152 || y >= 104 ? -1 : (x - 8) / 48 + 3 * ((y - 8) / 48);
  };
  Picture clean(160, 112, 0xDCDCDC), grainy(160, 112);
  std::mt19937 random(7);
  std::normal_distribution<double> grain(0, 7);
  for (int32_t y = 0; y < 112; ++y)
    for (int32_t x = 0; x < 160; ++x) {
      const int area = areaAt(x, y);
      if (area >= 0) clean.Set(x, y, colours[area]);
      int32_t noisy = 0;
      for (int s = 0; s < 24; s += 8)
        noisy |= std::clamp(static_cast<int32_t>(std::lround(((clean.At(x, y) >> s) & 0xFF) + grain(random))), 0, 255) << s;
      grainy.Set(x, y, noisy);
    }
  EXPECT_EQ(GrainOf(clean), 0);
  EXPECT_NEAR(GrainOf(grainy), 7, 0.7);
  CleanupOptions o;
  o.colours = 7;
  o.sieve = 20;
  CleanupReport report;
  const Picture cleaned = CleanPicture(grainy, o, 0xDCDCDC, &report);
  EXPECT_EQ(report.colours, 7);
  EXPECT_NEAR(report.grain, 7, 0.7);
  for (int area = 0; area < 6; ++area) {
    int64_t near = 0;
    for (int32_t y = 8; y < 104; ++y)
      for (int32_t x = 8; x < 152; ++x) {
        if (areaAt(x, y) != area) continue;
        int off = 0;
        for (int s = 0; s < 24; s += 8) off = std::max(off, std::abs((cleaned.At(x, y) >> s & 0xFF) - (colours[area] >> s & 0xFF)));
        near += off <= 12;
      }
    EXPECT_GE(near, 48 * 48 * 98 / 100) << "area " << area;
  }
}

class RegionGeneration : public AppTest {
 protected:
  // Regions of the picture reduced to `colours`, sieved and simplified by a pixel.
  void CleanIntoRegions(int colours, int sieve) {
    CleanupOptions o;
    o.colours = colours;
    o.sieve = sieve;
    o.regions = true;
    o.simplify = 1;
    logic->SetCleanup(o);
  }
  // A blue square on off-white paper, to be cleaned into two colours and traced as regions.
  void StartWithABlueSquareToCleanIntoRegions() {
    Picture pic(64, 64, 0xFDFEFF);
    for (int32_t y = 10; y < 50; ++y)
      for (int32_t x = 10; x < 50; ++x) pic.Set(x, y, 0x0404F8);
    StartWith(pic);
    CleanIntoRegions(2, 10);
  }
};

// A speckled red square with a blue lake on an off-white ground, background white: the map
// holds the red region (its lake joined by a keyhole) and the lake, with the tone mask.
TEST_F(RegionGeneration, RegionsOfACleanedPictureCarryThingAndToneColour) {
  Picture pic(64, 64, 0xFDFEFF);
  for (int32_t y = 10; y < 50; ++y)
    for (int32_t x = 10; x < 50; ++x)
      pic.Set(x, y, (x * 7 + y * 3) % 11 == 0 ? 0x0000E0 : 0x0404F8);
  for (int32_t y = 25; y < 35; ++y)
    for (int32_t x = 25; x < 35; ++x) pic.Set(x, y, 0xF80404);
  StartWith(pic);
  logic->MutableState().backColor = 0xFFFFFF;
  logic->mnuToneItem_Click(4);
  CleanIntoRegions(3, 10);
  logic->mnuPolygon_Click();
  ASSERT_EQ(win.LastMessage(), frmtext::kRegionsDone);
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuCompress));
  std::vector<std::shared_ptr<clsMapFigure>> polygons;
  for (int32_t i = 1; i <= logic->State().oMap->Count(); ++i)
    if (auto f = logic->State().oMap->Item(i); f->FigCode() == figcode::kPolygon) polygons.push_back(f);
  ASSERT_EQ(polygons.size(), 2u);
  EXPECT_EQ(logic->LastRegions().regions, 2);
  for (const auto& f : polygons) {
    EXPECT_EQ(f->Thing(), 7);
    EXPECT_EQ(f->OwnColor() & 0x0F0F0F, 0x0F0F0F);  // tone 16
  }
  EXPECT_EQ(polygons[0]->OwnColor() & 0xF0F0F0, 0x0000F0);  // red first: it starts higher
  EXPECT_EQ(polygons[1]->OwnColor() & 0xF0F0F0, 0xF00000);
  EXPECT_GT(polygons[0]->Poly()->Count(), 9);  // outline, bridge there and back, lake
}

// A background colour typed that the picture has no area of is told of before the map is done:
// every pixel went into the map, the blends nearest to it too.
TEST_F(RegionGeneration, ABackgroundThePictureDoesNotShowIsToldOf) {
  StartWithABlueSquareToCleanIntoRegions();
  logic->MutableState().backColor = 0x563412;
  logic->mnuPolygon_Click();
  ASSERT_GE(win.messages.size(), 2u);
  EXPECT_EQ(win.LastMessage(), frmtext::kRegionsDone);
  EXPECT_NE(win.messages[win.messages.size() - 2].text.find(u"#123456"), std::u16string::npos);
  EXPECT_EQ(logic->LastRegions().regions, 2);
}

// The colours of a palette are the map's exactly, whatever the tone: regions and rectangles.
TEST_F(RegionGeneration, APalettesColoursAreKeptWhateverTheTone) {
  Picture pic(32, 32, 0xFFFFFF);
  for (int32_t y = 8; y < 24; ++y)
    for (int32_t x = 8; x < 24; ++x) pic.Set(x, y, 0x1008F0);
  StartWith(pic);
  logic->MutableState().backColor = 0xFFFFFF;
  logic->mnuToneItem_Click(4);
  for (const bool regions : {true, false}) {
    CleanupOptions o;
    o.palette = {0x0000FF, 0xFF0000};
    o.regions = regions;
    logic->SetCleanup(o);
    logic->mnuPolygon_Click();
    std::set<int32_t> colours;
    for (int32_t i = 1; i <= logic->State().oMap->Count(); ++i)
      if (auto f = logic->State().oMap->Item(i); f->FigCode() == figcode::kPolygon) colours.insert(f->OwnColor());
    EXPECT_EQ(colours, std::set<int32_t>{0x0000FF}) << (regions ? "regions" : "rectangles");
  }
}

// A picture across the 180° meridian (its middle column straddles it): every region crossing
// it is cut there into a piece ending 1″ short of 180°E and one starting 1″ short of 180°W, as
// the rectangles are; no point lies beyond.
TEST_F(RegionGeneration, RegionsAcrossTheMeridianAreCutThere) {
  Picture pic(40, 20, 0x0000FF);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 20; x < 40; ++x) pic.Set(x, y, 0xFF0000);
  StartWith(pic);
  SetExtents(612900, -611100, 36000, 0);  // 0.5° a column; 180° in the middle of column 19
  CleanupOptions o;
  o.regions = true;
  logic->SetCleanup(o);
  logic->mnuPolygon_Click();
  ASSERT_EQ(win.LastMessage(), frmtext::kRegionsDone);
  EXPECT_EQ(logic->LastRegions().regions, 3);
  EXPECT_EQ(win.progressMax, 4);  // arcs and simplifying on either side
  std::vector<std::pair<int32_t, int32_t>> spans;  // west and east end of each polygon
  for (int32_t i = 1; i <= logic->State().oMap->Count(); ++i) {
    const auto f = logic->State().oMap->Item(i);
    if (f->FigCode() != figcode::kPolygon) continue;
    const auto pts = f->Poly()->Points();
    const auto [lo, hi] = std::minmax_element(pts.begin(), pts.end(), [](auto& a, auto& b) { return a.x < b.x; });
    spans.emplace_back(lo->x, hi->x);
  }
  const std::vector<std::pair<int32_t, int32_t>> expected = {
      {612900, 647999}, {-647999, -647100}, {-647100, -611100}};
  EXPECT_EQ(spans, expected);
}

// The clean-up and the tracing show their stages, and stop between them when asked: the map
// is then left empty, not with regions traced but never simplified.
TEST_F(RegionGeneration, StopIsTakenBetweenStagesAndLeavesNoHalfMap) {
  StartWithABlueSquareToCleanIntoRegions();
  logic->mnuPolygon_Click();
  ASSERT_TRUE(win.MenuEnabled(Menu::mnuSave));
  int stage = 0;
  win.onDoEvents = [&] {
    if (win.progressValue > stage) stage = win.progressValue;
    if (stage == 4) logic->mnuCancel_Click();  // the arcs are traced
  };
  logic->mnuPolygon_Click();
  EXPECT_EQ(win.LastMessage(), u"ポリゴン生成は中断されました.");
  EXPECT_EQ(stage, 4);
  EXPECT_EQ(win.progressMax, 5);
  EXPECT_EQ(win.progressValue, 0);
  EXPECT_EQ(logic->State().oMap->Count(), 0);
  EXPECT_TRUE(win.MenuEnabled(Menu::mnuPolygon));
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuSave)) << "the map of the run before is gone: nothing is left to save";
}

// The sieve's stage is the longest on a large picture: the window answers within it, and a
// stop asked there is taken before the stage ends.
TEST_F(RegionGeneration, StopIsTakenWithinTheSievesStage) {
  StartWithABlueSquareToCleanIntoRegions();
  int stage = 0, answersInTheSieve = 0;
  win.onDoEvents = [&] {
    stage = std::max(stage, int(win.progressValue));
    if (stage == 2 && ++answersInTheSieve == 3) logic->mnuCancel_Click();
  };
  logic->mnuPolygon_Click();
  EXPECT_EQ(win.LastMessage(), u"ポリゴン生成は中断されました.");
  EXPECT_EQ(stage, 2);
  EXPECT_EQ(answersInTheSieve, 3);
}

}  // namespace
}  // namespace picmap::test
