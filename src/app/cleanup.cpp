#include "app/cleanup.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <numeric>
#include <tuple>
#include <unordered_map>

#include "app/grain.h"
#include "support/errors.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

// ---- OKLab ---------------------------------------------------------------------------------
// Distances there follow what the eye sees, so an anti-aliased edge colour falls to the
// flat colour it was mixed from most, not to whichever is nearest in sRGB.

struct Lab {
  float l = 0, a = 0, b = 0;
};

float Distance2(const Lab& p, const Lab& q) {
  const float dl = p.l - q.l, da = p.a - q.a, db = p.b - q.b;
  return dl * dl + da * da + db * db;
}

const std::array<float, 256>& LinearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

Lab ToLab(int32_t colour) {
  const auto& lin = LinearTable();
  const float r = lin[colour & 0xFF], g = lin[(colour >> 8) & 0xFF], b = lin[(colour >> 16) & 0xFF];
  const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
  const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
  const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
  return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
          1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
          0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

// The sRGB colour of an OKLab point, each channel rounded half to even.
int32_t FromLab(const Lab& p) {
  const float l = p.l + 0.3963377774f * p.a + 0.2158037573f * p.b;
  const float m = p.l - 0.1055613458f * p.a - 0.0638541728f * p.b;
  const float s = p.l - 0.0894841775f * p.a - 1.2914855480f * p.b;
  const float l3 = l * l * l, m3 = m * m * m, s3 = s * s * s;
  const float lin[3] = {4.0767416621f * l3 - 3.3077115913f * m3 + 0.2309699292f * s3,
                        -1.2684380046f * l3 + 2.6097574011f * m3 - 0.3413193965f * s3,
                        -0.0041960863f * l3 - 0.7034186147f * m3 + 1.7076147010f * s3};
  int32_t colour = 0;
  for (int i = 0; i < 3; ++i) {
    const double c = std::clamp(static_cast<double>(lin[i]), 0.0, 1.0);
    const double e = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    colour |= static_cast<int32_t>(std::nearbyint(e * 255)) << (8 * i);
  }
  return colour;
}

int Nearest(const Lab& p, const std::vector<Lab>& centres) {
  int best = 0;
  float bestD = Distance2(p, centres[0]);
  for (size_t k = 1; k < centres.size(); ++k) {
    const float d = Distance2(p, centres[k]);
    if (d < bestD) bestD = d, best = static_cast<int>(k);
  }
  return best;
}

// ---- Mixes of colours ---------------------------------------------------------------------

int32_t Channel(int32_t c, int s) { return (c >> s) & 0xFF; }

// How far (in sRGB steps) colour x lies from the nearest mix of a and b, and whether that
// mix is nearer to b.
std::pair<double, bool> MixResidual(int32_t x, int32_t a, int32_t b) {
  double ab2 = 0, axab = 0;
  for (int s = 0; s < 24; s += 8) {
    const double d = Channel(b, s) - Channel(a, s);
    ab2 += d * d;
    axab += (Channel(x, s) - Channel(a, s)) * d;
  }
  const double t = ab2 > 0 ? std::clamp(axab / ab2, 0.0, 1.0) : 0;
  double r2 = 0;
  for (int s = 0; s < 24; s += 8) {
    const double d = Channel(x, s) - (Channel(a, s) + t * (Channel(b, s) - Channel(a, s)));
    r2 += d * d;
  }
  return {std::sqrt(r2), t > 0.5};
}

double RgbDistance(int32_t x, int32_t a) { return MixResidual(x, a, a).first; }

// The mix of a and b nearest to x, channel by channel in sRGB steps.
std::array<double, 3> NearestMix(int32_t x, int32_t a, int32_t b) {
  double ab2 = 0, axab = 0;
  for (int s = 0; s < 24; s += 8) {
    const double d = Channel(b, s) - Channel(a, s);
    ab2 += d * d, axab += (Channel(x, s) - Channel(a, s)) * d;
  }
  const double t = ab2 > 0 ? std::clamp(axab / ab2, 0.0, 1.0) : 0;
  std::array<double, 3> mix;
  for (int i = 0; i < 3; ++i) mix[i] = Channel(a, 8 * i) + t * (Channel(b, 8 * i) - Channel(a, 8 * i));
  return mix;
}

// How far colour x lies from the nearest mix of a, b and c, and which of the three (0, 1, 2)
// that mix holds most of: the middle of a thin line is a mix of the line and both its sides.
std::pair<double, int> MixResidual(int32_t x, int32_t a, int32_t b, int32_t c) {
  double e1[3], e2[3], d[3];
  for (int i = 0; i < 3; ++i) {
    const int s = 8 * i;
    e1[i] = Channel(b, s) - Channel(a, s), e2[i] = Channel(c, s) - Channel(a, s), d[i] = Channel(x, s) - Channel(a, s);
  }
  const auto dot = [](const double* p, const double* q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
  const double a11 = dot(e1, e1), a12 = dot(e1, e2), a22 = dot(e2, e2), det = a11 * a22 - a12 * a12;
  if (det > 1e-9 * std::max(1.0, a11 * a22)) {
    const double r1 = dot(d, e1), r2 = dot(d, e2);
    const double u = (a22 * r1 - a12 * r2) / det, v = (a11 * r2 - a12 * r1) / det;
    if (u >= 0 && v >= 0 && u + v <= 1) {
      double r = 0;
      for (int i = 0; i < 3; ++i) r += (d[i] - u * e1[i] - v * e2[i]) * (d[i] - u * e1[i] - v * e2[i]);
      const double weight[3] = {1 - u - v, u, v};
      return {std::sqrt(r), static_cast<int>(std::max_element(weight, weight + 3) - weight)};
    }
  }
  // Outside the triangle the nearest mix lies on one of its sides.
  const std::pair<int, int> sides[3] = {{0, 1}, {1, 2}, {0, 2}};
  const int32_t colour[3] = {a, b, c};
  std::pair<double, int> best{std::numeric_limits<double>::max(), 0};
  for (const auto& [i, j] : sides) {
    const auto [r, nearerJ] = MixResidual(x, colour[i], colour[j]);
    if (r < best.first) best = {r, nearerJ ? j : i};
  }
  return best;
}

// ---- Palette files -------------------------------------------------------------------------

[[noreturn]] void PaletteError(const std::u16string& path, const std::u16string& why) {
  throw Error(err::kInvalidCall, u"cleanup.ReadPaletteFile", path + u": " + why);
}

bool IsHexWord(const QString& text);

std::optional<int32_t> HexColour(const QString& text) {
  // QString's number reading takes "0x0000" as hex too: only six hex digits are a colour.
  if (text.size() != 7 || text[0] != '#' || !IsHexWord(text.mid(1))) return std::nullopt;
  bool ok = false;
  const uint32_t rgb = text.mid(1).toUInt(&ok, 16);
  if (!ok) return std::nullopt;
  return static_cast<int32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

bool IsHexWord(const QString& text) {
  return !text.isEmpty() &&
         std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128 && std::isxdigit(c.unicode()) != 0; });
}

// "#" and six characters, all but one of them hex digits or the letter O typed for 0; or a
// colour with a mark after it ("#FF0000," copied from a list), which no comment's word has.
bool IsMistypedHexColour(const QString& word) {
  const auto hex = [](QChar c) { return c.unicode() < 128 && std::isxdigit(c.unicode()) != 0; };
  if (word.size() > 7)
    return std::all_of(word.begin() + 1, word.begin() + 7, hex) && !word[7].isLetterOrNumber();
  if (word.size() != 7) return false;
  const auto digitLike = std::count_if(word.begin() + 1, word.end(), [&](QChar c) { return hex(c) || c == 'O' || c == 'o'; });
  return digitLike >= 5 && std::count_if(word.begin() + 1, word.end(), hex) < 6;
}

std::optional<int32_t> GimpColour(const QString& line) {
  const QStringList parts = line.simplified().split(' ');
  if (parts.size() < 3) return std::nullopt;
  int32_t c = 0;
  for (int i = 0; i < 3; ++i) {
    bool ok = false;
    const int v = parts[i].toInt(&ok);
    if (!ok || v < 0 || v > 255) return std::nullopt;
    c |= v << (8 * i);
  }
  return c;
}

// ---- Where pixels lie ----------------------------------------------------------------------

// No channel changes by more than this between a pixel of a flat area and its neighbours.
constexpr int kFlatStep = 16;
// How far (in sRGB steps) the middle of a thin line lies from every mix of its two sides.
constexpr double kLineBump = 24;

int Step(int32_t a, int32_t b) {
  int most = 0;
  for (int s = 0; s < 24; s += 8) most = std::max(most, std::abs(((a >> s) & 0xFF) - ((b >> s) & 0xFF)));
  return most;
}

// Where a pixel lies: among the blends along a border, which change steadily and are what a
// real picture adds to a flat map; on the middle of a line a few pixels wide (no mix of the
// pixels two away across it, straight or diagonally: a one-pixel line scaled up and blurred; a
// diagonal one stands out only diagonally, and taken for blends it settled into its sides in
// stretches), where it may take the line's colour but tells nothing of it; on the middle of a
// thin line (no mix of its two neighbours across, along or diagonally, but darker, lighter or
// of another hue than both); on a flat spot (its eight neighbours like itself); or deep inside
// a flat area (its eight neighbours on flat spots too).
enum class Place : uint8_t { Blend, WideLine, Line, Flat, Deep };

// Rows y-2 .. y+2 of a picture while y goes down it, those beyond the picture repeating its edge.
class RowWindow {
 public:
  explicit RowWindow(const Picture& picture) : picture_(picture) {
    for (int i = 0; i < 5; ++i) rows_[i].resize(static_cast<size_t>(picture.width)), Load(i, i - 2);
  }
  const std::vector<int32_t> (&Rows() const)[5] { return rows_; }
  void Next() {
    std::rotate(rows_, rows_ + 1, rows_ + 5);
    Load(4, ++y_ + 2);
  }

 private:
  void Load(int i, int32_t y) { picture_.ReadRow(std::clamp(y, 0, picture_.height - 1), rows_[i].data()); }
  const Picture& picture_;
  std::vector<int32_t> rows_[5];
  int32_t y_ = 0;
};

std::vector<Place> PixelPlaces(const Picture& picture) {
  const int32_t w = picture.width, h = picture.height;
  std::vector<Place> place(static_cast<size_t>(w) * h);
  RowWindow window(picture);
  for (int32_t y = 0; y < h; ++y, window.Next()) {
    const auto& rows = window.Rows();
    const std::vector<int32_t>* around[3] = {&rows[1], &rows[2], &rows[3]};
    const std::vector<int32_t>& row = rows[2];
    for (int32_t x = 0; x < w; ++x) {
      const int32_t l = x > 0 ? x - 1 : x, r = x + 1 < w ? x + 1 : x;
      bool flat = true;
      for (int i = 0; i < 3 && flat; ++i)
        for (int32_t nx : {l, x, r}) flat = flat && Step(row[x], (*around[i])[nx]) <= kFlatStep;
      const auto bump = [&](int32_t a, int32_t b) { return MixResidual(row[x], a, b).first > kLineBump; };
      const std::vector<int32_t>&up = *around[0], &down = *around[2];
      const bool line = !flat && (bump(row[l], row[r]) || bump(up[x], down[x]) || bump(up[l], down[r]) ||
                                  bump(up[r], down[l]));
      const int32_t ll = std::max(x - 2, 0), rr = std::min(x + 2, w - 1);
      const bool wideLine = !flat && !line &&
                            (bump(row[ll], row[rr]) || bump(rows[0][x], rows[4][x]) || bump(rows[0][ll], rows[4][rr]) ||
                             bump(rows[0][rr], rows[4][ll]));
      place[static_cast<size_t>(y) * w + x] = flat ? Place::Flat : line ? Place::Line : wideLine ? Place::WideLine : Place::Blend;
    }
  }
  std::vector<Place> deep = place;
  const auto flatAt = [&](int32_t x, int32_t y) {
    return place[static_cast<size_t>(std::clamp(y, 0, h - 1)) * w + std::clamp(x, 0, w - 1)] >= Place::Flat;
  };
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      bool all = flatAt(x, y);
      for (int32_t dy = -1; dy <= 1 && all; ++dy)
        for (int32_t dx = -1; dx <= 1 && all; ++dx) all = flatAt(x + dx, y + dy);
      if (all) deep[static_cast<size_t>(y) * w + x] = Place::Deep;
    }
  return deep;
}

// Where each pixel of one picture lies, found once: choosing colours and settling the blends
// both ask.
class Places {
 public:
  explicit Places(const Picture& picture) : picture_(picture) {}
  const std::vector<Place>& Get() {
    if (!place_) place_ = PixelPlaces(picture_);
    return *place_;
  }

 private:
  const Picture& picture_;
  std::optional<std::vector<Place>> place_;
};

// How far the middle of a thin line is drawn on, away from the pixels two away across it, to
// the line's own colour: blurred, the middle keeps only part of it (a one-pixel line scaled up
// three times and blurred keeps about three fifths more than the mix two pixels away).
constexpr double kLineReach = 0.6;

// The colour the middle of a thin line stands for, from the rows y-2 .. y+2 around it: drawn on
// from the mix of the pixels two away in the direction the line stands out most from.
int32_t LineColourAt(const std::vector<int32_t> (&rows)[5], int32_t x, int32_t width,
                     std::pair<int32_t, int32_t>* sidesSeen = nullptr) {
  const int32_t c = rows[2][x], l = std::max(x - 2, 0), r = std::min(x + 2, width - 1);
  const std::pair<int32_t, int32_t> across[4] = {
      {rows[2][l], rows[2][r]}, {rows[0][x], rows[4][x]}, {rows[0][l], rows[4][r]}, {rows[0][r], rows[4][l]}};
  double most = -1;
  std::pair<int32_t, int32_t> sides = across[0];
  for (const auto& pair : across) {
    const double residual = MixResidual(c, pair.first, pair.second).first;
    if (residual > most) most = residual, sides = pair;
  }
  if (sidesSeen) *sidesSeen = sides;
  const std::array<double, 3> mix = NearestMix(c, sides.first, sides.second);
  int32_t out = 0;
  for (int i = 0; i < 3; ++i) {
    const double drawnOn = Channel(c, 8 * i) + kLineReach * (Channel(c, 8 * i) - mix[i]);
    out |= static_cast<int32_t>(std::lround(std::clamp(drawnOn, 0.0, 255.0))) << (8 * i);
  }
  return out;
}

// ---- Histogram -----------------------------------------------------------------------------

// Colours in bins of 6 bits a channel: the mean colour and pixel count of each bin in use.
constexpr int kBinBits = 6, kBinsAside = 1 << kBinBits, kBins = kBinsAside * kBinsAside * kBinsAside;

struct Bin {
  Lab lab;
  int32_t rgb = 0;
  double weight = 0;
  int32_t key = 0;  // the bin's place in the grid, red fastest
};

int32_t BinKey(int32_t c) {
  constexpr int shift = 8 - kBinBits, mask = kBinsAside - 1;
  return ((c >> shift) & mask) | ((c >> (8 + shift)) & mask) << kBinBits |
         ((c >> (16 + shift)) & mask) << (2 * kBinBits);
}

// The colours deep inside flat areas, and those of thin lines and small flat spots, apart;
// the blends along borders would draw colours of their own and are left out. A picture
// without flat areas counts its flat spots as such, one without either all its pixels.
struct Histogram {
  std::vector<Bin> flat, line;
};

// Colours counted into bins, summed to find each bin's mean colour.
struct BinSums {
  struct Sum {
    double r = 0, g = 0, b = 0, n = 0;
  };
  std::vector<Sum> sums = std::vector<Sum>(kBins);
  void Add(int32_t c) {
    Sum& s = sums[BinKey(c)];
    s.r += c & 0xFF, s.g += (c >> 8) & 0xFF, s.b += (c >> 16) & 0xFF, s.n += 1;
  }
  std::vector<Bin> Bins() const {
    std::vector<Bin> bins;
    for (const Sum& s : sums) {
      if (s.n == 0) continue;
      const auto channel = [&](double v) { return static_cast<int32_t>(std::lround(v / s.n)); };
      const int32_t rgb = channel(s.r) | channel(s.g) << 8 | channel(s.b) << 16;
      bins.push_back({ToLab(rgb), rgb, s.n, static_cast<int32_t>(&s - sums.data())});
    }
    return bins;
  }
};

Histogram ColourBins(const Picture& picture, Places& places) {
  BinSums sums[2];
  std::vector<int32_t> row(static_cast<size_t>(picture.width));
  const std::vector<Place>& place = places.Get();
  const auto any = [&](Place p) { return std::find(place.begin(), place.end(), p) != place.end(); };
  const Place area = any(Place::Deep) ? Place::Deep : any(Place::Flat) ? Place::Flat : Place::Line;
  const Place least = any(area) ? Place::Line : Place::Blend;
  for (int32_t y = 0; y < picture.height; ++y) {
    picture.ReadRow(y, row.data());
    for (int32_t x = 0; x < picture.width; ++x) {
      const Place p = place[static_cast<size_t>(y) * picture.width + x];
      if (p < least) continue;
      sums[p < area].Add(row[x]);
    }
  }
  return {sums[0].Bins(), sums[1].Bins()};
}

// Centres closer than this (in OKLab) are one colour seen twice: the noise of a JPEG round one
// flat colour would otherwise take the place of a rarer colour of the map.
constexpr float kSameColour = 0.015f;

// A pixel of a flat area or of a line's middle is sure of its colour when it lies this close
// (in sRGB steps) to it.
constexpr double kSure = 24;

// A peak holding fewer pixels than this (with its neighbours) is noise, not a colour.
constexpr double kLeastPeak = 16;
// A thin line's colour within this many sRGB steps of a mix of two colours already taken is
// their blend (a narrow strip between two borders, the dark rim of a line), not a colour.
constexpr double kBlendMargin = 32;

// A colour the palette may take: a peak of the flat areas' or of the lines' histogram.
struct Candidate {
  const Bin* bin;
  double density;
  bool line;
};

template <typename Visit>
void BinNeighbours(int32_t key, Visit&& visit) {
  constexpr int mask = kBinsAside - 1;
  const int r = key & mask, g = (key >> kBinBits) & mask, b = key >> (2 * kBinBits);
  for (int db = -1; db <= 1; ++db)
    for (int dg = -1; dg <= 1; ++dg)
      for (int dr = -1; dr <= 1; ++dr) {
        const int nr = r + dr, ng = g + dg, nb = b + db;
        if (nr >= 0 && ng >= 0 && nb >= 0 && nr <= mask && ng <= mask && nb <= mask)
          visit(nr | ng << kBinBits | nb << (2 * kBinBits));
      }
}

// The pixels of each bin, by its key, and of all of them.
struct Weights {
  std::vector<double> of;
  double all = 0;
};

Weights BinWeights(const std::vector<Bin>& bins) {
  Weights w{std::vector<double>(kBins, 0.0)};
  for (const Bin& b : bins) w.of[b.key] = b.weight, w.all += b.weight;
  return w;
}

// The pixels of each bin in use counted with those of the bins beside it.
std::vector<double> Density(const std::vector<Bin>& bins) {
  const std::vector<double> weight = BinWeights(bins).of;
  std::vector<double> density(kBins, 0.0);
  for (const Bin& b : bins) BinNeighbours(b.key, [&](int32_t k) { density[b.key] += weight[k]; });
  return density;
}

// A bin holding at least this share of the flat pixels, and more than any bin beside it, is a
// colour of its own even where the bins beside it, counted with their neighbours, hold more: two
// colours a few steps apart, one of them spread by a JPEG's noise, make one peak so counted.
// Beside such a peak it is that colour's own (a saturated colour clipped at the gamut's edge).
constexpr double kSharpPeak = 0.02;

// The peaks of a histogram: bins holding more than any bin beside them, counted with their
// neighbours, so the noise round a flat colour does not split it. A peak of the flat areas
// whose own bin holds less than a bin beside it holding kSharpPeak of them lies between colours
// rather than on one: two colours of the map a few steps apart, counted with their neighbours,
// peak at the bin between them, and as one colour the map lost one of them (two browns 13
// steps apart). Each is then a sharp peak of its own.
void AddPeaks(const std::vector<Bin>& bins, const std::vector<double>& density, bool line,
              std::vector<Candidate>& out) {
  const Weights weight = line ? Weights{} : BinWeights(bins);
  const auto besideASharpPeak = [&](const Bin& bin) {
    bool beside = false;
    BinNeighbours(bin.key, [&](int32_t k) {
      beside |= weight.of[k] > bin.weight && weight.of[k] >= kSharpPeak * weight.all;
    });
    return beside;
  };
  for (const Bin& bin : bins) {
    const int32_t key = bin.key;
    bool peak = density[key] >= kLeastPeak;
    BinNeighbours(key, [&](int32_t k) { peak &= density[k] < density[key] || (density[k] == density[key] && k >= key); });
    if (peak && (line || !besideASharpPeak(bin))) out.push_back({&bin, density[key], line});
  }
}

void AddSharpPeaks(const std::vector<Bin>& bins, const std::vector<double>& density, std::vector<Candidate>& out) {
  const Weights own = BinWeights(bins);
  const std::vector<double>& weight = own.of;
  const double all = own.all;
  std::vector<bool> taken(kBins, false);  // a peak so counted, or a bin beside one
  for (const Candidate& c : out)
    if (!c.line) BinNeighbours(c.bin->key, [&](int32_t k) { taken[k] = true; });
  for (const Bin& bin : bins) {
    if (taken[bin.key] || bin.weight < kSharpPeak * all) continue;
    bool peak = true;
    BinNeighbours(bin.key, [&](int32_t k) { peak &= k == bin.key || weight[k] < bin.weight; });
    if (peak) out.push_back({&bin, density[bin.key], false});
  }
}

void SortDensestFirst(std::vector<Candidate>& candidates) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.density > b.density; });
}

bool IsBlendOf(int32_t colour, const std::vector<Lab>& centres, double margin = kBlendMargin) {
  std::vector<int32_t> rgb;
  for (const Lab& c : centres) rgb.push_back(FromLab(c));
  for (size_t i = 0; i < rgb.size(); ++i)
    for (size_t j = i + 1; j < rgb.size(); ++j)
      if (MixResidual(colour, rgb[i], rgb[j]).first < margin) return true;
  return false;
}

// Two colours of the flat areas closer than this (in OKLab) are one when the pixels of one are
// a small shoulder of the other's, with no empty bins between them: the noise a JPEG spreads
// over a large area of a saturated or dark colour can draw a second centre beside its own.
constexpr float kOneRidge = 0.03f;
constexpr double kShoulder = 1.0 / 20;

bool IsShoulderOf(int32_t small, int32_t large, const std::vector<double>& density) {
  const double s = density[BinKey(small)], l = density[BinKey(large)];
  if (s < kLeastPeak || s > kShoulder * l) return false;
  for (double t : {0.25, 0.5, 0.75}) {
    int32_t mix = 0;
    for (int c = 0; c < 24; c += 8)
      mix |= static_cast<int32_t>(std::lround(Channel(small, c) * (1 - t) + Channel(large, c) * t)) << c;
    if (density[BinKey(mix)] < s) return false;
  }
  return true;
}

bool IsOneRidge(int32_t a, int32_t b, const std::vector<double>& density) {
  return IsShoulderOf(a, b, density) || IsShoulderOf(b, a, density);
}

// A thin line's colour within this many sRGB steps of a colour already taken is that colour:
// the middle of a line blurred over a few pixels takes a tint of either side.
constexpr double kLineApart = 64;

// The colours chosen so far, and what each was taken from: the background is given, the others
// follow the colours of the flat areas or of the lines they were taken from.
enum class From : uint8_t { Given, Flat, Line };
struct Centres {
  std::vector<Lab> lab;
  std::vector<From> from;
  std::vector<int32_t> seed;  // the peak each was taken from (-1: none)
};

// Two colours of flat areas farther apart than this (in sRGB steps) are two colours however
// close OKLab puts them: a JPEG shifts a flat colour by a few steps, and saturated greens 60
// steps apart in red lie within kSameColour of each other.
constexpr double kNoiseApart = 40;

// Whether the flat pixels nearest each of two close colours lie in areas of their own (two
// colours of the map a few steps apart) rather than speckled among each other (the noise of
// one colour split in two).
using AreasApart = std::function<bool(int32_t, int32_t)>;

// The share of a colour's flat pixels whose flat pixel kPast to the right is nearest the other
// colour, below which the two colours lie apart: they meet only where their areas do, while a
// JPEG shifts one colour's shade block by block (of eight pixels).
constexpr double kSpeckled = 0.15;
constexpr int32_t kPast = 8;
// Colours closer than this (in sRGB steps) are one colour whose pixels a JPEG shifted block by
// block, in areas of their own however apart they lie.
constexpr double kTwoShades = 10;

AreasApart FlatAreasApart(const Picture& picture, Places& places) {
  return [&picture, &places](int32_t a, int32_t b) {
    const std::vector<Place>& place = places.Get();
    const int32_t w = picture.width;
    std::vector<int32_t> row(static_cast<size_t>(w));
    int64_t pairs[2] = {0, 0}, mixed[2] = {0, 0};
    const auto side = [&](int32_t c) {
      const double da = RgbDistance(c, a), db = RgbDistance(c, b);
      return std::min(da, db) > kSure ? -1 : da <= db ? 0 : 1;
    };
    for (int32_t y = 0; y < picture.height; y += 2) {  // every other row tells as well
      picture.ReadRow(y, row.data());
      for (int32_t x = 0; x + kPast < w; ++x) {
        const size_t p = static_cast<size_t>(y) * w + x;
        if (place[p] < Place::Flat || place[p + kPast] < Place::Flat) continue;
        const int s = side(row[x]), t = side(row[x + kPast]);
        if (s < 0 || t < 0) continue;
        ++pairs[s], ++pairs[t];
        if (s != t) ++mixed[s], ++mixed[t];
      }
    }
    for (int k = 0; k < 2; ++k)
      if (pairs[k] == 0 || static_cast<double>(mixed[k]) >= kSpeckled * static_cast<double>(pairs[k])) return false;
    return true;
  };
}

// How far (in OKLab) the noise round the background colour reaches and is still the
// background's: the background is given exactly and never follows its pixels, so a JPEG's or a
// scan's paper, a few steps off it, made a near-white colour of its own and was mapped. A
// background picked with the pointer on a noisy sea is one pixel of it, as likely at the edge
// of its noise (three times its spread, 14 steps a channel) as in its middle.
constexpr float kBackgroundNoise = 4 * kSameColour;
// The least share of a picture's flat spots and line middles that the background seen only in
// gaps between areas covers.
constexpr double kBackgroundInGaps = 0.01;

// Whether an area's colour `a` is the colour of centre `c` seen twice.
bool IsSameColour(const Lab& a, const Lab& c, From from, const std::vector<double>& flatDensity,
                  const AreasApart& apart) {
  const float d2 = Distance2(a, c);
  const double rgb = RgbDistance(FromLab(a), FromLab(c));
  const auto twoAreas = [&] { return from != From::Line && rgb >= kTwoShades && apart(FromLab(a), FromLab(c)); };
  const float same = from == From::Given ? kBackgroundNoise : kSameColour;
  return (d2 <= same * same && rgb <= kNoiseApart && !twoAreas()) ||
         (from == From::Flat && d2 <= kOneRidge * kOneRidge && IsOneRidge(FromLab(a), FromLab(c), flatDensity));
}

// Adds the candidates not tried yet to `centres`, up to `count`, each one when no centre is its
// colour seen twice (for a line's colour: within kLineApart, or a mix of two of them).
void AddCandidates(const std::vector<Candidate>& candidates, size_t count, std::vector<bool>& tried,
                   Centres& centres, const std::vector<double>& flatDensity, const AreasApart& apart) {
  for (size_t n = 0; n < candidates.size() && centres.lab.size() < count; ++n) {
    if (tried[n]) continue;
    const Bin& bin = *candidates[n].bin;
    const bool line = candidates[n].line;
    bool near = false;
    for (size_t k = 0; k < centres.lab.size() && !near; ++k)
      near = line ? RgbDistance(bin.rgb, FromLab(centres.lab[k])) <= kLineApart
                  : IsSameColour(bin.lab, centres.lab[k], centres.from[k], flatDensity, apart);
    if (near || (line && IsBlendOf(bin.rgb, centres.lab))) continue;
    centres.lab.push_back(bin.lab);
    centres.from.push_back(line ? From::Line : From::Flat);
    centres.seed.push_back(bin.rgb);
    tried[n] = true;
  }
}

// Where line centre k was seen: the peak it was taken from. Following its shades it can drift
// towards a dark or light area's colour (a black line blurred beside dark slate) without being
// a tint of it.
int32_t LineSeen(const Centres& c, size_t k) { return c.seed[k] >= 0 ? c.seed[k] : FromLab(c.lab[k]); }

// Drops the later of every two centres closer than kSameColour (a line's colour: kLineApart) or
// on one ridge of the flat areas' histogram, and a line's colour that is a blend of two others;
// false when none was.
bool DropTwins(Centres& c, size_t fixedCount, const std::vector<double>& flatDensity, const AreasApart& apart) {
  const size_t before = c.lab.size();
  for (size_t k = fixedCount; k < c.lab.size();) {
    bool twin = false;
    for (size_t j = 0; j < k && !twin; ++j)
      twin = c.from[k] == From::Line ? RgbDistance(FromLab(c.lab[j]), LineSeen(c, k)) <= kLineApart
                                     : IsSameColour(c.lab[k], c.lab[j], c.from[j], flatDensity, apart);
    // A line's colour taken before the colours it turned out to blend.
    if (!twin && c.from[k] == From::Line) {
      std::vector<Lab> others = c.lab;
      others.erase(others.begin() + static_cast<ptrdiff_t>(k));
      twin = IsBlendOf(FromLab(c.lab[k]), others);
    }
    if (twin) {
      c.lab.erase(c.lab.begin() + static_cast<ptrdiff_t>(k));
      c.from.erase(c.from.begin() + static_cast<ptrdiff_t>(k));
      c.seed.erase(c.seed.begin() + static_cast<ptrdiff_t>(k));
    } else {
      ++k;
    }
  }
  return c.lab.size() < before;
}

// Lloyd's iterations over `bins`, moving the centres taken from `moving` only.
void KMeans(const std::vector<Bin>& bins, Centres& c, From moving) {
  std::vector<int> owner(bins.size(), -1);
  for (int round = 0; round < 30; ++round) {
    bool moved = false;
    for (size_t i = 0; i < bins.size(); ++i) {
      const int k = Nearest(bins[i].lab, c.lab);
      moved |= k != owner[i];
      owner[i] = k;
    }
    if (!moved) return;
    std::vector<Lab> sum(c.lab.size());
    std::vector<double> weight(c.lab.size());
    std::vector<int32_t> rgb;
    for (const Lab& l : c.lab) rgb.push_back(FromLab(l));
    for (size_t i = 0; i < bins.size(); ++i) {
      // A line's colour follows its own shades only, not the blends it shares a peak with.
      if (moving == From::Line && RgbDistance(bins[i].rgb, rgb[owner[i]]) > kLineApart) continue;
      Lab& s = sum[owner[i]];
      const double w = bins[i].weight;
      s.l += static_cast<float>(w * bins[i].lab.l), s.a += static_cast<float>(w * bins[i].lab.a);
      s.b += static_cast<float>(w * bins[i].lab.b), weight[owner[i]] += w;
    }
    for (size_t k = 0; k < c.lab.size(); ++k) {
      if (c.from[k] != moving || weight[k] <= 0) continue;
      const auto w = static_cast<float>(weight[k]);
      c.lab[k] = {sum[k].l / w, sum[k].a / w, sum[k].b / w};
    }
  }
}

// The least share of the middles of lines that no line colour was taken from that a hidden
// line's colour gathers: the JPEG's own streaks scatter theirs.
constexpr double kHiddenLineShare = 0.1;

// The flat centres whose colour is a blend of two other centres', least dense first: where two
// areas of near colours meet softly, the blur leaves a band of their blend flat enough to make
// a peak of its own, and a line's colour lost to it is lost from the map.
std::vector<size_t> FlatBlends(const Centres& c, const std::vector<double>& flatDensity) {
  std::vector<size_t> blends;
  for (size_t k = 0; k < c.lab.size(); ++k) {
    if (c.from[k] != From::Flat || c.seed[k] < 0) continue;
    std::vector<Lab> others = c.lab;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(k));
    if (IsBlendOf(FromLab(c.lab[k]), others)) blends.push_back(k);
  }
  const auto density = [&](size_t k) { return flatDensity[BinKey(c.seed[k])]; };
  std::stable_sort(blends.begin(), blends.end(), [&](size_t a, size_t b) { return density(a) < density(b); });
  return blends;
}

// Where all places are taken, the flat centre that gives way to a hidden line's colour `line`:
// the least dense blend of two others (the line's among them), where it is less dense than the
// line's peak; or less dense than all the hidden lines' middles where it is the line's own
// blend with an area (a white border between pale blues faded to a flat peak of pale blue,
// which took the white's place).
std::optional<size_t> BlendGivingWay(const Centres& centres, const Candidate& line, double middles,
                                     const std::vector<double>& flatDensity) {
  Centres with = centres;
  with.lab.push_back(line.bin->lab), with.from.push_back(From::Line), with.seed.push_back(-1);
  const std::vector<size_t> blends = FlatBlends(with, flatDensity);
  if (blends.empty()) return std::nullopt;
  const size_t k = blends.front();
  const int32_t colour = FromLab(centres.lab[k]);
  bool linesOwn = false;
  for (size_t c = 0; c < centres.lab.size() && !linesOwn; ++c)
    linesOwn = c != k && MixResidual(colour, line.bin->rgb, FromLab(centres.lab[c])).first < kSure;
  if (flatDensity[BinKey(centres.seed[k])] >= (linesOwn ? middles : line.density)) return std::nullopt;
  return k;
}

// A line's fewest middle pixels for its own colour to be told from them, and the least share
// of its pixels they make up (an area's colour taken from a hatched or speckled area has a
// few streaks' middles among many pixels of its own).
constexpr int64_t kLeastLinePixels = 64;
constexpr double kLeastMiddleShare = 0.2;

// The least share of line middles, drawn on, within kSure of their median for it to be the
// line's own colour: the necks of a small area and the blurred edges of other lines nearest an
// area's colour scatter.
constexpr double kAgreeingMiddles = 0.25;

// Whether colour c lies within kSure of one of the centres.
bool NearACentre(int32_t c, const std::vector<Lab>& centres) {
  return std::any_of(centres.begin(), centres.end(), [&](const Lab& l) { return RgbDistance(c, FromLab(l)) <= kSure; });
}

// The median, channel by channel, of colours.
int32_t MedianColour(const std::vector<int32_t>& colours) {
  int32_t median = 0;
  std::vector<int> channel(colours.size());
  for (int i = 0; i < 3; ++i) {
    std::transform(colours.begin(), colours.end(), channel.begin(), [&](int32_t c) { return Channel(c, 8 * i); });
    std::nth_element(channel.begin(), channel.begin() + channel.size() / 2, channel.end());
    median |= channel[channel.size() / 2] << (8 * i);
  }
  return median;
}

// The share of colours within kSure of colour c.
double ShareNear(const std::vector<int32_t>& colours, int32_t c) {
  const auto near = std::count_if(colours.begin(), colours.end(), [&](int32_t o) { return RgbDistance(o, c) <= kSure; });
  return colours.empty() ? 0 : static_cast<double>(near) / static_cast<double>(colours.size());
}

// Where the colours are still fewer than asked, the median of the hidden lines' middles: a dark
// line between areas of many colours is at its middle a tint of each side in turn, and so many
// tints scatter too widely for a peak, while their median lies near the line's own colour (a
// dark brown border between twelve colours, drawn in a brown area's colour before). Where the
// map has no line's colour yet and a quarter of the middles agree on it, it stands though it is
// a blend of two colours: a grey border between areas on both sides of grey is their blend too.
void AddLinesMedian(const std::vector<int32_t>& middles, Centres& centres) {
  if (middles.size() < static_cast<size_t>(kLeastLinePixels)) return;
  const int32_t median = MedianColour(middles);
  const double agreeing = ShareNear(middles, median);
  if (agreeing < kHiddenLineShare || NearACentre(median, centres.lab)) return;
  const bool lineYet = std::find(centres.from.begin(), centres.from.end(), From::Line) != centres.from.end();
  if (IsBlendOf(median, centres.lab, kSure) && (lineYet || agreeing < kAgreeingMiddles)) return;
  centres.lab.push_back(ToLab(median));
  centres.from.push_back(From::Line);
  centres.seed.push_back(median);
}

// A thin line's colour that a blurred line hides, added while the colours are fewer than asked,
// or in the place of a blend giving way to it: a dark line drawn between areas of many colours
// is, at its middle, a tint of each side in turn, so no peak of the lines' histogram stands for
// it; and a white border between pale areas is, blurred, a tint of them. Drawn on, its middles
// meet at the line's own colour.
void AddHiddenLineColours(const Picture& picture, Places& places, size_t wanted, Centres& centres,
                          const std::vector<double>& flatDensity) {
  BinSums sums;
  std::vector<int32_t> middleColours;
  const auto onLine = [&](int32_t colour) {
    return centres.from[Nearest(ToLab(colour), centres.lab)] == From::Line;
  };
  const std::vector<Place>& place = places.Get();
  const int32_t w = picture.width;
  RowWindow window(picture);
  for (int32_t y = 0; y < picture.height; ++y, window.Next())
    for (int32_t x = 0; x < w; ++x) {
      if (place[static_cast<size_t>(y) * w + x] != Place::Line || onLine(window.Rows()[2][x])) continue;
      std::pair<int32_t, int32_t> sides;
      const int32_t drawnOn = LineColourAt(window.Rows(), x, w, &sides);
      // A narrow strip of an area between two lines stands out from them as a line would; a
      // line whose colour was taken, tinted by dark sides, is still that line.
      if (!onLine(sides.first) && !onLine(sides.second) && !onLine(drawnOn))
        sums.Add(drawnOn), middleColours.push_back(drawnOn);
    }
  const std::vector<Bin> bins = sums.Bins();
  double middles = 0;
  for (const Bin& b : bins) middles += b.weight;
  const std::vector<double> density = Density(bins);
  std::vector<Candidate> peaks;
  AddPeaks(bins, density, true, peaks);
  SortDensestFirst(peaks);
  for (const Candidate& peak : peaks) {
    if (peak.density < kHiddenLineShare * middles) break;
    std::optional<size_t> giving;
    if (centres.lab.size() >= wanted && !(giving = BlendGivingWay(centres, peak, middles, flatDensity))) break;
    Centres kept = centres;
    if (giving) {
      const auto at = static_cast<std::ptrdiff_t>(*giving);
      kept.lab.erase(kept.lab.begin() + at);
      kept.from.erase(kept.from.begin() + at);
      kept.seed.erase(kept.seed.begin() + at);
    }
    const int32_t rgb = peak.bin->rgb;
    // Drawn on, a line's colour no longer holds its sides' tints: it is told from the colours
    // (and their blends) as closely as a pixel is sure of its colour.
    if (IsBlendOf(rgb, kept.lab, kSure) || NearACentre(rgb, kept.lab)) continue;
    centres = std::move(kept);
    centres.lab.push_back(peak.bin->lab);
    centres.from.push_back(From::Line);
    centres.seed.push_back(rgb);
  }
  if (centres.lab.size() < wanted) AddLinesMedian(middleColours, centres);
}

// ---- Connected regions ---------------------------------------------------------------------

int32_t Find(std::vector<int32_t>& parent, int32_t i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

void Unite(std::vector<int32_t>& parent, int32_t a, int32_t b) {
  a = Find(parent, a), b = Find(parent, b);
  if (a != b) parent[std::max(a, b)] = std::min(a, b);
}

// The 8- (or 4-) connected regions of equal index: a region number per pixel, and the count.
int32_t LabelRegions(const IndexGrid& g, int connectivity, std::vector<int32_t>& label) {
  const int32_t w = g.width, h = g.height;
  label.resize(static_cast<size_t>(w) * h);
  std::iota(label.begin(), label.end(), 0);
  for (int32_t y = 0; y < h; ++y) {
    const size_t row = static_cast<size_t>(y) * w;
    for (int32_t x = 0; x < w; ++x) {
      const size_t p = row + x;
      const uint8_t v = g.index[p];
      if (x > 0 && g.index[p - 1] == v) Unite(label, static_cast<int32_t>(p), static_cast<int32_t>(p - 1));
      if (y == 0) continue;
      for (int32_t dx = connectivity == 8 ? -1 : 0; dx <= (connectivity == 8 ? 1 : 0); ++dx) {
        if (x + dx < 0 || x + dx >= w) continue;
        const size_t q = p - w + dx;
        if (g.index[q] == v) Unite(label, static_cast<int32_t>(p), static_cast<int32_t>(q));
      }
    }
  }
  int32_t count = 0;
  for (size_t p = 0; p < label.size(); ++p)
    label[p] = label[p] == static_cast<int32_t>(p) ? count++ : label[label[p]];
  return count;
}

// Whether palette colour c is one of the map's lines' colours.
bool IsLineColour(const IndexGrid& g, size_t c) { return c < g.lines.size() && g.lines[c]; }

// Colours this close (in sRGB steps) are one colour's shades in a real picture when they meet in
// small regions: the tint a JPEG gives a colour along a dark border, in patches of up to about
// ten times the sieve's size hugging the border (a region of its own that small and that near
// in colour is a few pixels of the picture before it was scaled up).
constexpr double kAlikeColour = 32;
constexpr int32_t kAlikeTimes = 12;
// A region without a sure pixel whose area is less than this many times its perimeter is a
// strip of blends: a small area of its own is wider.
constexpr double kLeastWidth = 1.25;
// A region holding a square of its own pixels this many across has a middle beyond the blends
// of its rim, which the upscale and the blur spread over four pixels: a lake, not a strip.
constexpr int32_t kFlatMiddleSide = 5;
// A strip whose area is less than this many times its perimeter is no wider than the blends of
// a border, which the upscale and the blur spread over four pixels; at any size (a strip of
// blends a clean pixel wide and a few long passed for a small area of its own).
constexpr double kBlendWidth = 2;
// How far from a mix of a line's palette colour with an area's a strip beside the line may
// average and still be their blend.
constexpr double kLineBlendOff = 2 * kSure;
// The least share of an islet's border its outline holds.
constexpr double kOutlined = 0.8;
// The fewest pixels of an islet's middle that may give its colour to its rim.
constexpr int32_t kLeastMiddle = 4;
// How far (in sRGB steps) an islet's rim lies from its middle's colour at least.
constexpr double kRimApart = 2 * kSure;
// How far (in sRGB steps) the colour an islet's outline hides lies from the colour it shows at
// least. An islet two or three pixels wide keeps more of its colour at its middle than one a
// pixel wide: world's white islands in black outlines are a light grey 45 steps from white, a
// grey of the map's own. How far the middle of a blurred islet reaches does not tell nearer
// colours apart (virginia's two reds, 31 steps apart).
constexpr double kHiddenApart = 40;
// How far (in sRGB steps) the middle of an islet in its outline reaches past the colour it
// shows when that colour is a blend hiding its own; a JPEG's noise does not.
constexpr double kPastOwn = kSure / 2;
constexpr int32_t kPastOwnPixels = 2;
// A small region with fewer pixels sure of its colour than this share may be a blend.
constexpr double kFewSure = 0.2;
// The widest gap (in pixels) a faint line breaks with between two of its dashes.
constexpr int32_t kDashGap = 2;
// The least share of a dash's border that each of the areas it runs between holds.
constexpr double kSideShare = 0.2;
// How far (in sRGB steps) a line's colour lies from every mix of the two areas it runs between
// where it is drawn plainly (black between blue and red), not a faint line the blur broke up.
constexpr double kPlainLine = 120;
// How near (in sRGB steps) a line's colour lies to a mix of another line's colour and an area
// beside it where it is that other line fading (a blurred black border beside pink matches a
// dark purple the map draws too).
constexpr double kFadingOf = 40;
// Within how many pixels the next piece of a line lies where the blur broke it at a step; a
// border drawn on its own has none so near.
constexpr int32_t kLoneGap = 6;
// How near (in sRGB steps) a pale line's colour lies to an area's it fades into beside it: a
// white border fades into a near-white green beside it, the two taken 55 steps apart.
constexpr double kFadedLine = 56;
// How many pixels an area drawn in a line's colour holds at least per pixel of its border: as
// many as a line of the widest kind holds (kLineWide across, two borders) and more.
constexpr double kAreaWide = 3;

// The line colour holding most of a region's border, given the border's length along each
// colour and its whole length, where lines hold kOutlined of it (an islet in its outline), else -1.
int OutlineColour(const IndexGrid& g, const std::unordered_map<uint8_t, int64_t>& byColour, int64_t perimeter) {
  int64_t outline = 0, longest = 0;
  int line = -1;
  for (const auto& [c, length] : byColour)
    if (IsLineColour(g, c)) {
      outline += length;
      if (length > longest || (length == longest && c < line)) line = c, longest = length;
    }
  return static_cast<double>(outline) >= kOutlined * static_cast<double>(perimeter) ? line : -1;
}

// The regions a sieve merges, merged one by one.
class Sieving {
 public:
  Sieving(IndexGrid& grid, int32_t minPixels, int connectivity, int32_t alikePixels, const Picture* picture)
      : g_(grid), picture_(picture), min_(minPixels), alike_(std::max(minPixels, alikePixels)),
        drawsLines_(std::find(grid.lines.begin(), grid.lines.end(), true) != grid.lines.end()) {
    count_ = LabelRegions(g_, connectivity, label_);
    size_.assign(count_, 0);
    for (int32_t r : label_) ++size_[r];
    owner_.resize(count_);
    std::iota(owner_.begin(), owner_.end(), 0);
    colour_.resize(count_);
    for (size_t p = 0; p < label_.size(); ++p) colour_[label_[p]] = g_.index[p];
    anchor_.assign(count_, g_.sure.empty() ? kSureOfArea : 0);
    for (size_t p = 0; p < g_.sure.size(); ++p) anchor_[label_[p]] = std::max(anchor_[label_[p]], g_.sure[p]);
    sureCount_.assign(count_, 0);
    for (size_t p = 0; p < g_.sure.size(); ++p) sureCount_[label_[p]] += g_.sure[p] == kSureOfArea;
    GroupPixels();
  }

  int64_t Run() {
    std::vector<int32_t> small;
    const std::vector<bool> strips = LongStrips();
    for (int32_t r = 0; r < count_; ++r)
      if (size_[r] < alike_ || anchor_[r] != kSureOfArea || strips[r]) small.push_back(r);
    std::stable_sort(small.begin(), small.end(),
                     [&](int32_t a, int32_t b) { return size_[a] < size_[b]; });
    int64_t merged = 0;
    for (int32_t r : small) {
      if (owner_[r] != r) continue;
      const bool recoloured = picture_ && anchor_[r] != kSureOfArea && ShowTheColourItsOutlineHides(r);
      if (anchor_[r] == 0 && size_[r] >= min_ && picture_ && !IsBlendOfNeighbours(r, kBlendWidth)) {
        anchor_[r] = kSureOfArea;
        if (size_[r] >= alike_) continue;
      }
      if (TakenAsFadedLine(r)) {
        ++merged;
        continue;
      }
      const bool any = size_[r] < min_ || anchor_[r] == 0 || (size_[r] < alike_ && picture_ && IsBlendStrip(r, kBlendWidth)) ||
                       (strips[r] && IsBlendStrip(r, kBlendWidth)) || IsDash(r) || IsSpeckOfABorder(r) ||
                       IsTraceOfAFaintLine(r);
      const double alike = anchor_[r] == kSureOfLine || (!any && IsShadeOfABlend(r)) ? kLineApart
                           : size_[r] < alike_                                 ? kAlikeColour
                                                                               : -1;
      if (any && picture_) TakeOverItsRim(r);
      if (const int32_t area = any || recoloured ? -1 : RingedArea(r); area >= 0) {
        MergeInto(r, area);
        ++merged;
        continue;
      }
      if (MergeIntoNeighbour(r, any ? std::numeric_limits<double>::max() : alike)) ++merged;
    }
    for (size_t p = 0; p < label_.size(); ++p) {
      const uint8_t now = colour_[Find(owner_, label_[p])];
      if (now != g_.index[p] && !g_.sure.empty()) g_.sure[p] = 0;  // sure of the colour it had
      g_.index[p] = now;
    }
    return merged;
  }

 private:
  // The pixels of each region, region after region.
  void GroupPixels() {
    first_.assign(count_ + 1, 0);
    for (int32_t r : label_) ++first_[r + 1];
    std::partial_sum(first_.begin(), first_.end(), first_.begin());
    pixels_.resize(label_.size());
    std::vector<int64_t> at(first_.begin(), first_.end() - 1);
    for (size_t p = 0; p < label_.size(); ++p) pixels_[at[label_[p]]++] = static_cast<int32_t>(p);
  }

  // Which regions of areas, of the alike size or more, are strips by their shape: along the
  // border of two colours close to each other the blends are flat enough to be sure of a third
  // colour they pass near, and a long border makes a long strip of it.
  std::vector<bool> LongStrips() const {
    std::vector<bool> strips(count_, false);
    if (!picture_ || alike_ <= min_) return strips;  // a picture's own colours hold no blends
    std::vector<int64_t> perimeter(count_, 0);
    const int32_t w = g_.width, h = g_.height;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t p = static_cast<size_t>(y) * w + x;
        for (const size_t q : {x + 1 < w ? p + 1 : p, y + 1 < h ? p + w : p})
          if (q != p && label_[p] != label_[q]) ++perimeter[label_[p]], ++perimeter[label_[q]];
      }
    for (int32_t r = 0; r < count_; ++r)
      strips[r] = size_[r] >= alike_ && !IsLineColour(colour_[r]) &&
                  static_cast<double>(size_[r]) < kBlendWidth * static_cast<double>(perimeter[r]);
    return strips;
  }

  // The length of the border (in pixel edges) region r shares with each neighbour.
  std::unordered_map<int32_t, int64_t> Borders(int32_t r) {
    std::unordered_map<int32_t, int64_t> border;
    const int32_t w = g_.width, h = g_.height;
    for (int32_t member : Members(r)) {
      for (int64_t i = first_[member]; i < first_[member + 1]; ++i) {
        const int32_t p = pixels_[i], x = p % w, y = p / w;
        const auto look = [&](int32_t q) {
          const int32_t o = Find(owner_, label_[q]);
          if (o != r) ++border[o];
        };
        if (x > 0) look(p - 1);
        if (x + 1 < w) look(p + 1);
        if (y > 0) look(p - w);
        if (y + 1 < h) look(p + w);
      }
    }
    return border;
  }

  // The length of the border region r shares with each colour, and its whole perimeter.
  std::pair<std::unordered_map<uint8_t, int64_t>, int64_t> BordersByColour(int32_t r) {
    std::unordered_map<uint8_t, int64_t> byColour;
    int64_t perimeter = 0;
    for (const auto& [o, length] : Borders(r)) byColour[colour_[o]] += length, perimeter += length;
    return {std::move(byColour), perimeter};
  }

  bool IsLineColour(uint8_t c) const { return picmap::IsLineColour(g_, c); }

  // Whether region r is a strip (one a line goes round is an islet), or the picture's colours
  // over it average to a mix of two or three of its neighbours' colours: a strip of blends
  // along their border, not a small area of its own whose middle the blur left without a flat
  // pixel. A strip up to `lineStripWidth` along a line is a blend already where its colour
  // averages within kLineBlendOff of a mix of the line's with an area beside it: a blurred
  // line's palette colour averages its dark middle with its shoulders, and the blend of that
  // middle with a strong colour lies farther off the mix (navy between black and blue).
  bool IsBlendOfNeighbours(int32_t r, double lineStripWidth = kLeastWidth) {
    const int32_t mean = MeanColour(r);
    const int64_t n = size_[r];
    std::vector<std::pair<int64_t, int32_t>> near;
    int64_t perimeter = 0;
    int64_t outline = 0;
    std::unordered_map<uint8_t, int64_t> alongArea;
    for (const auto& [o, length] : Borders(r)) {
      near.emplace_back(length, o), perimeter += length;
      if (IsLineColour(colour_[o])) outline += length;
      else alongArea[colour_[o]] += length;
    }
    // A strip a pixel or two wide along a border or a line is a blend whatever its colour;
    // one a line goes all round is an islet, and a blob inside one area with a flat middle is a
    // lake (white in a pale area, blurred all round, is a thick ring of blends round its middle).
    const bool outlined = static_cast<double>(outline) >= kOutlined * static_cast<double>(perimeter);
    const auto inOneArea = [&] {
      return std::any_of(alongArea.begin(), alongArea.end(), [&](const auto& side) {
        return static_cast<double>(side.second) >= kOutlined * static_cast<double>(perimeter);
      });
    };
    if (!outlined && static_cast<double>(n) < kLeastWidth * static_cast<double>(perimeter) &&
        !(inOneArea() && HasFlatMiddle(r)))
      return true;
    const bool lineStrip = !outlined && static_cast<double>(n) < lineStripWidth * static_cast<double>(perimeter);
    std::sort(near.rbegin(), near.rend());
    near.resize(std::min<size_t>(near.size(), 4));
    const auto colour = [&](size_t i) { return g_.palette[colour_[near[i].second]]; };
    const auto isLine = [&](size_t i) { return IsLineColour(colour_[near[i].second]); };
    for (size_t i = 0; i < near.size(); ++i)
      for (size_t j = i; j < near.size(); ++j) {
        const double off = MixResidual(mean, colour(i), colour(j)).first;
        if (off < kSure || (lineStrip && isLine(i) != isLine(j) && off < kLineBlendOff)) return true;
        for (size_t k = j + 1; k < near.size() && j > i; ++k)
          if (MixResidual(mean, colour(i), colour(j), colour(k)).first < kSure) return true;
      }
    return false;
  }

  struct BoxedPixels {
    std::vector<int32_t> pixels;
    int32_t x0, y0, x1, y1;  // the box round them
  };

  BoxedPixels PixelsInABox(int32_t r) const {
    const int32_t w = g_.width;
    BoxedPixels b{{}, w, g_.height, -1, -1};
    for (int32_t member : Members(r))
      for (int64_t i = first_[member]; i < first_[member + 1]; ++i) {
        const int32_t p = pixels_[i], x = p % w, y = p / w;
        b.pixels.push_back(p);
        b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y), b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
      }
    return b;
  }

  // Whether region r holds a square of its own pixels kFlatMiddleSide across.
  bool HasFlatMiddle(int32_t r) {
    const int32_t w = g_.width;
    const auto [own, x0, y0, x1, y1] = PixelsInABox(r);
    const int32_t bw = x1 - x0 + 1, bh = y1 - y0 + 1;
    if (bw < kFlatMiddleSide || bh < kFlatMiddleSide) return false;
    // How many of its pixels run on to the right of each, then how many such runs of
    // kFlatMiddleSide stand one under another.
    std::vector<int32_t> run(static_cast<size_t>(bw) * bh, 0);
    for (const int32_t p : own) run[static_cast<size_t>(p / w - y0) * bw + (p % w - x0)] = 1;
    for (int32_t y = 0; y < bh; ++y)
      for (int32_t x = bw - 2; x >= 0; --x) {
        int32_t& cell = run[static_cast<size_t>(y) * bw + x];
        if (cell) cell += run[static_cast<size_t>(y) * bw + x + 1];
      }
    for (int32_t x = 0; x + kFlatMiddleSide <= bw; ++x)
      for (int32_t y = 0, stacked = 0; y < bh; ++y) {
        stacked = run[static_cast<size_t>(y) * bw + x] >= kFlatMiddleSide ? stacked + 1 : 0;
        if (stacked >= kFlatMiddleSide) return true;
      }
    return false;
  }

  // A small islet with no flat spot inside a line going all round it is, blurred, a blend of
  // the line's colour and its own: where its colour is such a blend, nearer another colour of
  // the map than the line's and more than kHiddenApart from that colour, it takes it (a white
  // islet a pixel wide in a black outline is grey, which may be a colour of the map's own).
  bool ShowTheColourItsOutlineHides(int32_t r) {
    if (size_[r] >= alike_ || IsLineColour(colour_[r])) return false;
    const auto [byColour, perimeter] = BordersByColour(r);
    const int line = OutlineColour(g_, byColour, perimeter);
    if (line < 0) return false;
    const int32_t own = g_.palette[colour_[r]], drawn = g_.palette[line];
    double best = kSure;
    uint8_t hidden = colour_[r];
    for (size_t c = 0; c < g_.palette.size(); ++c) {
      if (c == colour_[r] || IsLineColour(static_cast<uint8_t>(c)) || RgbDistance(own, g_.palette[c]) <= kHiddenApart)
        continue;
      const auto [off, nearerIt] = MixResidual(own, drawn, g_.palette[c]);
      if (off < best && nearerIt) best = off, hidden = static_cast<uint8_t>(c);
    }
    if (hidden == colour_[r]) hidden = AreaSqueezedBetweenLines(r, byColour, drawn, own);
    // Blurred, an islet of the colour it shows (the grey of a neighbour's islands) is nowhere
    // farther from its outline than that colour; one of a hidden colour is, at its middle.
    if (hidden == colour_[r] || !ReachesPast(r, drawn, own, g_.palette[hidden])) return false;
    colour_[r] = hidden;
    return true;
  }

  // The colour of an area beside region r whose blend with the line the picture over r averages
  // to, else r's own: an area a pixel wide between two lines blurs to a darker shade of it,
  // which may lie nearest another colour of the map though that colour is no mix of the area's
  // with the line (pale cyan between black borders turned teal).
  uint8_t AreaSqueezedBetweenLines(int32_t r, const std::unordered_map<uint8_t, int64_t>& byColour,
                                   int32_t line, int32_t own) {
    const int32_t mean = MeanColour(r);
    double best = kSure;
    uint8_t area = colour_[r];
    for (const auto& [c, length] : byColour) {
      if (c == colour_[r] || IsLineColour(c) || RgbDistance(own, g_.palette[c]) <= kRimApart) continue;
      const auto [off, nearerIt] = MixResidual(mean, line, g_.palette[c]);
      if (off < best && nearerIt) best = off, area = c;
    }
    return area;
  }

  // Whether kPastOwnPixels of region r's own pixels (not those of specks merged into it) lie
  // more than kPastOwn beyond colour `own` on the way from `from` to `to`.
  bool ReachesPast(int32_t r, int32_t from, int32_t own, int32_t to) {
    double axis[3], length2 = 0;
    for (int k = 0; k < 3; ++k) axis[k] = Channel(to, 8 * k) - Channel(from, 8 * k), length2 += axis[k] * axis[k];
    if (length2 == 0) return false;
    const double length = std::sqrt(length2);
    const auto along = [&](int32_t c) {
      double d = 0;
      for (int k = 0; k < 3; ++k) d += (Channel(c, 8 * k) - Channel(from, 8 * k)) * axis[k];
      return d / length;
    };
    const double beyond = along(own) + kPastOwn;
    int32_t past = 0;
    for (int64_t i = first_[r]; i < first_[r + 1] && past < kPastOwnPixels; ++i)
      past += along(picture_->At(pixels_[i] % g_.width, pixels_[i] / g_.width)) > beyond;
    return past >= kPastOwnPixels;
  }

  // The picture's colours over region r, averaged.
  int32_t MeanColour(int32_t r) {
    double sum[3] = {0, 0, 0};
    int64_t n = 0;
    for (int32_t member : Members(r))
      for (int64_t i = first_[member]; i < first_[member + 1]; ++i, ++n) {
        const int32_t c = picture_->At(pixels_[i] % g_.width, pixels_[i] / g_.width);
        for (int k = 0; k < 3; ++k) sum[k] += Channel(c, 8 * k);
      }
    int32_t mean = 0;
    for (int k = 0; k < 3; ++k) mean |= static_cast<int32_t>(std::lround(sum[k] / std::max<int64_t>(n, 1))) << (8 * k);
    return mean;
  }

  // The area beside small region r (its longest border that is no line's) when r is sure of its
  // colour only on the middles of thin lines and averages nearer that area's colour than its
  // own, else -1: the light rim a JPEG rings beside a dark line, which drawn on as a line's
  // middle is a lighter colour of the map (the map's white lines' colour in grey land).
  int32_t RingedArea(int32_t r) {
    if (!picture_ || size_[r] >= alike_ || anchor_[r] != kSureOfLine) return -1;
    int32_t around = -1;
    int64_t longest = 0;
    for (const auto& [o, n] : Borders(r))
      if (!IsLineColour(colour_[o]) && (n > longest || (n == longest && o < around))) around = o, longest = n;
    if (around < 0) return -1;
    const int32_t mean = MeanColour(r);
    return RgbDistance(mean, g_.palette[colour_[around]]) < RgbDistance(mean, g_.palette[colour_[r]]) ? around : -1;
  }

  // An islet's middle too small to stay gives its colour to the neighbour it would merge into
  // when that is its rim: a small region sure of no area's colour, whose colour is a blend of
  // the islet's with a line's (a white islet outlined in black has a rim of grey, which may be
  // another colour of the map).
  void TakeOverItsRim(int32_t r) {
    const std::vector<bool>& lines = g_.lines;
    if (size_[r] < kLeastMiddle || IsLineColour(colour_[r]) || !drawsLines_)
      return;
    int32_t rim = -1;
    int64_t longest = 0;
    for (const auto& [o, n] : Borders(r))
      if (n > longest || (n == longest && o < rim)) rim = o, longest = n;
    if (rim < 0 || IsLineColour(colour_[rim]) || anchor_[rim] == kSureOfArea || size_[rim] >= alike_) return;
    // A rim a shade off the middle's colour is that colour's own (gold round a yellow speck).
    if (RgbDistance(g_.palette[colour_[rim]], g_.palette[colour_[r]]) <= kRimApart) return;
    for (size_t l = 0; l < std::min(lines.size(), g_.palette.size()); ++l) {
      if (!lines[l]) continue;
      const auto [off, nearerMiddle] = MixResidual(g_.palette[colour_[rim]], g_.palette[l], g_.palette[colour_[r]]);
      if (off < kSure && nearerMiddle) {
        colour_[rim] = colour_[r];
        return;
      }
    }
  }

  // Whether small region r, sure of its colour on few pixels, averages to a mix of its
  // neighbours' colours: where a line meets an area, their blend can lie nearest to a shade of
  // that area (another region's colour), and a few of its pixels sure of that shade.
  bool IsShadeOfABlend(int32_t r) {
    return size_[r] < alike_ && picture_ && anchor_[r] == kSureOfArea &&
           sureCount_[r] < kFewSure * size_[r] && IsBlendOfNeighbours(r);
  }

  // Whether small region r, sure of its colour on few pixels, is a strip (a pixel or two wide,
  // or a blob of a few pixels) in the middle of one area that is no line: what the blur left of a faint line a pixel wide
  // (a leader line from a label to its area), in a blend of the line's colour with the area it
  // crosses. A strip between two areas is a border of its own (a coast between land and sea).
  bool IsTraceOfAFaintLine(int32_t r) {
    if (!IsShadeOfABlend(r)) return false;
    const auto [byColour, perimeter] = BordersByColour(r);
    int64_t most = 0;
    for (const auto& [c, length] : byColour)
      if (length > most && !IsLineColour(c)) most = length;
    return static_cast<double>(most) >= kOutlined * static_cast<double>(perimeter) &&
           static_cast<double>(size_[r]) < kLeastWidth * static_cast<double>(perimeter);
  }

  // Whether region r is a strip (its area less than `width` times its perimeter) along the
  // border of two neighbours whose colours its own colour mixes, or the picture over it does: a
  // palette colour drawn from the blends of one long border, or lying near them, not a region.
  bool IsBlendStrip(int32_t r, double width = kLeastWidth) {
    std::vector<std::pair<int64_t, int32_t>> near;
    int64_t perimeter = 0;
    for (const auto& [o, length] : Borders(r)) near.emplace_back(length, o), perimeter += length;
    if (static_cast<double>(size_[r]) >= width * static_cast<double>(perimeter)) return false;
    std::sort(near.rbegin(), near.rend());
    near.resize(std::min<size_t>(near.size(), 4));
    const auto colour = [&](size_t i) { return g_.palette[colour_[near[i].second]]; };
    std::optional<int32_t> mean;
    for (size_t i = 0; i < near.size(); ++i)
      for (size_t j = i + 1; j < near.size(); ++j) {
        if (colour(i) == colour(j)) continue;
        const double off = MixResidual(g_.palette[colour_[r]], colour(i), colour(j)).first;
        if (off < kSure) return true;
        // A colour just off their mix, where the picture over the strip is their mix itself.
        if (off >= 2 * kSure || IsLineColour(colour_[r])) continue;
        if (!mean) mean = MeanColour(r);
        if (MixResidual(*mean, colour(i), colour(j)).first < kSure / 2) return true;
      }
    return false;
  }

  // Whether region r is a short dash of a line: where a faint line broke into pieces, a piece
  // smaller than the alike size, sure of the line's colour alone (or, where the line fades into
  // an area beside it, sure of it on a flat middle too: a white border beside a near-white area
  // is three pixels wide, scaled up, and left in pieces), going round nothing (an island's
  // outline goes round the island, and stays), and either with the next piece of its line
  // within a gap's width or running between two areas, unless it is a short border of its own.
  // An islet too small to keep its own colour inside its outline lies apart from the other
  // coasts, with sea all round.
  bool IsDash(int32_t r) {
    if (size_[r] >= alike_ || !IsLineColour(colour_[r])) return false;
    if (anchor_[r] != kSureOfLine && !(anchor_[r] == kSureOfArea && FadesIntoAnAreaBeside(r))) return false;
    return (HasPieceNearby(r) || (RunsBetweenAreas(r) && !IsShortBorder(r))) && !GoesRoundSomething(r);
  }

  // Whether an area of a colour within kFadedLine of line region r's holds a fair share of its
  // border.
  bool FadesIntoAnAreaBeside(int32_t r) {
    const auto [byColour, perimeter] = BordersByColour(r);
    for (const auto& [c, length] : byColour)
      if (!IsLineColour(c) && length >= kSideShare * static_cast<double>(perimeter) &&
          RgbDistance(g_.palette[colour_[r]], g_.palette[c]) <= kFadedLine)
        return true;
    return false;
  }

  // The line colour within kFadedLine of colour c, nearest first, or -1.
  int FadedLineColour(uint8_t c) const {
    int line = -1;
    double nearest = kFadedLine;
    for (size_t l = 0; l < g_.palette.size(); ++l) {
      if (!IsLineColour(static_cast<uint8_t>(l))) continue;
      const double d = RgbDistance(g_.palette[c], g_.palette[l]);
      if (d <= nearest && (line < 0 || d < nearest)) line = static_cast<int>(l), nearest = d;
    }
    return line;
  }

  // Takes small region r to a line, and says so, where it is a stretch of a pale line that the
  // blur tinted nearer an area's colour than the line's own (a white border between yellow
  // areas, where a near-white area is a colour of the map too): thin, of an area's colour within
  // kFadedLine of the line's, beside another area, with a piece of the line near. Left in the
  // area's colour, each stretch was a region of its own along the border.
  bool TakenAsFadedLine(int32_t r) {
    if (!picture_ || size_[r] < min_ || size_[r] >= alike_ || IsLineColour(colour_[r])) return false;
    const int line = FadedLineColour(colour_[r]);
    if (line < 0) return false;
    const auto [byColour, perimeter] = BordersByColour(r);
    if (static_cast<double>(size_[r]) >= kBlendWidth * static_cast<double>(perimeter)) return false;
    bool besideAnArea = false;
    for (const auto& [c, length] : byColour)
      besideAnArea = besideAnArea || (!IsLineColour(c) && length >= kSideShare * static_cast<double>(perimeter));
    if (!besideAnArea) return false;
    const uint8_t own = colour_[r];
    colour_[r] = static_cast<uint8_t>(line);
    if (!HasPieceNearby(r, kLoneGap)) {
      colour_[r] = own;
      return false;
    }
    std::unordered_map<int32_t, int64_t> border = Borders(r);
    int32_t into = -1;
    for (const auto& [o, n] : border)
      if (colour_[o] == line && (into < 0 || n > border[into] || (n == border[into] && o < into))) into = o;
    if (into < 0) {
      anchor_[r] = kSureOfLine;
      return true;
    }
    MergeInto(r, into);
    JoinThrough(into, border);
    return true;
  }

  // Whether region r is a short border drawn plainly between two areas, not a dash of a faint
  // line: its colour stands far out from every mix of theirs, is no other line fading beside
  // either, and no other piece of it lies near.
  bool IsShortBorder(int32_t r) {
    const auto [a, b] = TwoLongestAreaSides(r);
    if (b < 0) return false;
    const int32_t own = g_.palette[colour_[r]];
    if (MixResidual(own, g_.palette[a], g_.palette[b]).first < kPlainLine) return false;
    for (size_t l = 0; l < g_.palette.size(); ++l)
      if (l != colour_[r] && IsLineColour(l) &&
          std::min(MixResidual(own, g_.palette[l], g_.palette[a]).first,
                   MixResidual(own, g_.palette[l], g_.palette[b]).first) <= kFadingOf)
        return false;
    return !HasPieceNearby(r, kLoneGap);
  }

  // Whether the region of colour c sharing the longest border with region r is an area: of no
  // line's colour, or wide as an area is (a narrow district whose middles gave its colour to the
  // lines as well: southamerica's pale green peninsula, bordered in black).
  bool IsAreaBeside(int32_t r, int c) {
    if (!IsLineColour(c)) return true;
    int32_t side = -1;
    int64_t longest = 0;
    for (const auto& [o, length] : Borders(r))
      if (colour_[o] == c && length > longest) side = o, longest = length;
    if (side < 0) return false;
    // Once for each region: a line's network borders many dashes.
    if (const auto known = wide_.find(side); known != wide_.end()) return known->second;
    int64_t perimeter = 0;
    for (const auto& [o, length] : Borders(side)) perimeter += length;
    return wide_[side] = static_cast<double>(size_[side]) >= kAreaWide * static_cast<double>(perimeter);
  }

  // The two areas' colours holding most of region r's border, each a fair share of it (-1 for
  // one it lacks); lines it meets at its ends do not count.
  std::pair<int, int> TwoLongestAreaSides(int32_t r) {
    int a = -1, b = -1;
    int64_t la = 0, lb = 0;
    const auto [byColour, perimeter] = BordersByColour(r);
    for (const auto& [c, length] : byColour) {
      if (length < kSideShare * static_cast<double>(perimeter) || !IsAreaBeside(r, c)) continue;
      if (length > la || (length == la && c < a)) b = a, lb = la, a = c, la = length;
      else if (length > lb || (length == lb && c < b)) b = c, lb = length;
    }
    return {a, b};
  }

  // Whether region r, of an area's colour and sure of it only on the middles of thin lines (the
  // specks an islet a pixel wide is kept by), runs between two areas: a stretch of border
  // that a JPEG tinted with an area's colour, not an islet in its sea.
  bool IsSpeckOfABorder(int32_t r) {
    return anchor_[r] == kSureOfLine && !IsLineColour(colour_[r]) && RunsBetweenAreas(r);
  }

  // Whether another region of r's colour lies within `gap` pixels of it, on the picture as
  // snapped.
  bool HasPieceNearby(int32_t r, int32_t gap = kDashGap) {
    const int32_t w = g_.width, h = g_.height, root = Find(owner_, r);
    for (int32_t member : Members(r))
      for (int64_t i = first_[member]; i < first_[member + 1]; ++i) {
        const int32_t x = pixels_[i] % w, y = pixels_[i] / w;
        for (int32_t ny = std::max(y - gap, 0); ny <= std::min(y + gap, h - 1); ++ny)
          for (int32_t nx = std::max(x - gap, 0); nx <= std::min(x + gap, w - 1); ++nx) {
            const size_t q = static_cast<size_t>(ny) * w + nx;
            if (g_.index[q] == colour_[r] && Find(owner_, label_[q]) != root) return true;
          }
      }
    return false;
  }

  // Whether two colours other than r's each hold a fair share of r's border.
  bool RunsBetweenAreas(int32_t r) {
    const auto [byColour, perimeter] = BordersByColour(r);
    int sides = 0;
    for (const auto& [c, length] : byColour) sides += length >= kSideShare * static_cast<double>(perimeter);
    return sides >= 2;
  }

  bool GoesRoundSomething(int32_t r) {
    const int32_t w = g_.width;
    const auto [own, x0, y0, x1, y1] = PixelsInABox(r);
    // Its box with a margin of one pixel, flooded from the margin round it; beyond the picture's
    // edge is no way round (a line to the edge goes round what lies between them).
    const int32_t bw = x1 - x0 + 3, bh = y1 - y0 + 3;
    std::vector<uint8_t> box(static_cast<size_t>(bw) * bh, 0);  // 1: the region or beyond, 2: reached
    for (int32_t p : own) box[static_cast<size_t>(p / w - y0 + 1) * bw + (p % w - x0 + 1)] = 1;
    std::vector<int32_t> stack;
    for (int32_t by = 0; by < bh; ++by)
      for (int32_t bx = 0; bx < bw; ++bx) {
        if (bx > 0 && by > 0 && bx + 1 < bw && by + 1 < bh) continue;
        const int32_t x = x0 - 1 + bx, y = y0 - 1 + by;
        uint8_t& cell = box[static_cast<size_t>(by) * bw + bx];
        if (x < 0 || y < 0 || x >= w || y >= g_.height) cell = 1;
        else if (cell == 0) cell = 2, stack.push_back(by * bw + bx);
      }
    while (!stack.empty()) {
      const int32_t q = stack.back();
      stack.pop_back();
      const int32_t qx = q % bw, qy = q / bw;
      for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int32_t nx = qx + dx, ny = qy + dy;
        if (nx < 0 || ny < 0 || nx >= bw || ny >= bh || box[static_cast<size_t>(ny) * bw + nx]) continue;
        box[static_cast<size_t>(ny) * bw + nx] = 2;
        stack.push_back(ny * bw + nx);
      }
    }
    return std::find(box.begin(), box.end(), 0) != box.end();
  }

  // Into the neighbour sharing the longest border among those whose colour lies within
  // `within` sRGB steps of the region's; with no bound, into an area it carries on if any.
  bool MergeIntoNeighbour(int32_t r, double within) {
    std::unordered_map<int32_t, int64_t> border = Borders(r);
    if (within == std::numeric_limits<double>::max())
      if (const int32_t joined = AreaItJoins(r, border); joined >= 0) {
        MergeInto(r, joined);
        JoinThrough(joined, border);
        return true;
      }
    int32_t best = -1;
    for (const auto& [o, n] : border) {
      if (within < std::numeric_limits<double>::max() &&
          RgbDistance(g_.palette[colour_[r]], g_.palette[colour_[o]]) > within)
        continue;
      if (best < 0 || n > border[best] || (n == border[best] && o < best)) best = o;
    }
    if (best < 0) return false;  // the whole picture, or no neighbour alike
    MergeInto(r, best);
    JoinThrough(best, border);
    return true;
  }

  // The regions of region `into`'s colour among `border` (the neighbours of a region just
  // merged into it) are one region with it now: a speck of grey between two pieces of a white
  // line joins them, and neither piece is left to pass for a dash of a faint line.
  void JoinThrough(int32_t into, const std::unordered_map<int32_t, int64_t>& border) {
    if (alike_ <= 0 || !IsLineColour(colour_[into])) return;
    for (const auto& [o, n] : border) {
      const int32_t root = Find(owner_, o);
      if (root == into || colour_[root] != colour_[into]) continue;
      // The smaller goes into the larger: a line's whole network is not moved for each speck.
      MergeInto(root, into);
    }
  }

  // The area region r carries on, when r is to go to any neighbour, else -1: one of r's own
  // colour (a piece of a river a pixel wide, cut off by blends of the river with its banks), or
  // an area two of whose regions r touches, where r's pixels average nearer that area's colour
  // than any other colour around (water a pixel wide between lines blurs at its narrows to a
  // blend nearer the water than the coast, and given to the coast, the blend cut the water in
  // two). Only where the map draws lines: a picture sieved in its own colours or snapped to a
  // palette keeps the longest border.
  int32_t AreaItJoins(int32_t r, const std::unordered_map<int32_t, int64_t>& border) {
    if (IsLineColour(colour_[r]) || !drawsLines_) return -1;
    std::unordered_map<uint8_t, std::pair<int32_t, int64_t>> regions;  // colour: count, length
    for (const auto& [o, n] : border)
      if (!IsLineColour(colour_[o])) ++regions[colour_[o]].first, regions[colour_[o]].second += n;
    std::optional<int32_t> mean;
    const auto looksMostLike = [&](uint8_t c) {
      if (!mean) mean = MeanColour(r);
      const double d = RgbDistance(*mean, g_.palette[c]);
      for (const auto& [o, n] : border)
        if (colour_[o] != c && RgbDistance(*mean, g_.palette[colour_[o]]) <= d) return false;
      return true;
    };
    const auto carriesOn = [&](uint8_t c, int32_t count) {
      return c == colour_[r] || (count >= 2 && picture_ && looksMostLike(c));
    };
    int best = -1;
    int64_t longest = 0;
    for (const auto& [c, seen] : regions)
      if (carriesOn(c, seen.first) && (seen.second > longest || (seen.second == longest && c < best)))
        best = c, longest = seen.second;
    if (best < 0) return -1;
    int32_t into = -1;
    for (const auto& [o, n] : border)
      if (colour_[o] == best && (into < 0 || n > border.at(into) || (n == border.at(into) && o < into))) into = o;
    return into;
  }

  void MergeInto(int32_t r, int32_t best) {
    owner_[r] = best;
    size_[best] += size_[r];
    anchor_[best] = std::max(anchor_[best], anchor_[r]);
    if (colour_[r] == colour_[best]) sureCount_[best] += sureCount_[r];  // else sure of another colour
    auto& into = absorbed_[best];
    into.push_back(r);
    if (auto it = absorbed_.find(r); it != absorbed_.end()) {
      // The longer list is kept and the shorter appended: a line's network joined into a piece
      // of it is not copied whole.
      if (it->second.size() > into.size()) std::swap(it->second, into);
      into.insert(into.end(), it->second.begin(), it->second.end());
      absorbed_.erase(it);
    }
  }

  std::vector<int32_t> Members(int32_t r) const {
    std::vector<int32_t> m{r};
    if (auto it = absorbed_.find(r); it != absorbed_.end()) m.insert(m.end(), it->second.begin(), it->second.end());
    return m;
  }

  IndexGrid& g_;
  const Picture* picture_;
  int32_t min_, alike_;
  bool drawsLines_;  // whether any colour of the palette is a line's
  std::unordered_map<int32_t, bool> wide_;  // whether a region of a line's colour is as wide as an area
  int32_t count_ = 0;
  std::vector<int32_t> label_, size_, owner_, pixels_;
  std::vector<int64_t> first_;
  std::vector<uint8_t> colour_;
  std::vector<uint8_t> anchor_;  // the surest pixel of each region
  std::vector<int32_t> sureCount_;
  std::unordered_map<int32_t, std::vector<int32_t>> absorbed_;
};

// The picture's own colours as a palette, when it has few enough of them.
std::optional<std::vector<int32_t>> OwnColours(const Picture& picture, size_t most = kMaxCleanColours) {
  std::vector<bool> seen(1 << 24);
  std::vector<int32_t> colours, row(static_cast<size_t>(picture.width));
  for (int32_t y = 0; y < picture.height; ++y) {
    picture.ReadRow(y, row.data());
    for (int32_t c : row) {
      if (seen[c]) continue;
      if (colours.size() == most) return std::nullopt;
      seen[c] = true;
      colours.push_back(c);
    }
  }
  return colours;
}

Picture ToPicture(IndexGrid grid) {
  Picture::Palette table{};
  std::copy(grid.palette.begin(), grid.palette.end(), table.begin());
  auto owner = std::make_shared<std::vector<uint8_t>>(std::move(grid.index));
  return Picture::Indexed(grid.width, grid.height, owner->data(), grid.width, table, owner);
}

// How far in from the footprint's edge the fill outside takes its colours: a picture cut out
// of its background (a magic wand's selection) keeps a rim of blends with what was cut, and
// drawn on outside, the rim passed for an area of its own colour.
constexpr int kFootprintRim = 2;

// Outside a warped picture's footprint there is nothing to clean: each such pixel takes the
// colour of the nearest pixel inside on its row, kFootprintRim in from the edge (a row wholly
// outside, that of the nearest row with one), so it brings no colour of its own and splits no
// region.
Picture FilledOutside(const Picture& picture) {
  const int32_t w = picture.width, h = picture.height;
  auto buffer = std::make_shared<std::vector<uint32_t>>(size_t(w) * size_t(h));
  std::vector<int32_t> colours(static_cast<size_t>(w));
  std::vector<bool> filled(static_cast<size_t>(h), false);
  std::vector<int32_t> left(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    picture.ReadRow(y, colours.data());
    int32_t last = -1;
    for (int32_t x = 0; x < w; ++x) left[x] = last = picture.Inside(x, y) ? x : last;
    if (last < 0) continue;
    uint32_t* out = buffer->data() + size_t(y) * w;
    for (int32_t x = w - 1, next = -1; x >= 0; --x) {
      if (picture.Inside(x, y)) next = x;
      const int32_t l = left[x];
      int32_t from = l < 0 ? next : next < 0 || x - l <= next - x ? l : next;
      if (from != x)
        for (int i = 0, step = from < x ? -1 : 1; i < kFootprintRim && from + step >= 0 && from + step < w &&
                                                  picture.Inside(from + step, y);
             ++i)
          from += step;
      out[x] = static_cast<uint32_t>(colours[from]) | 0xFF000000u;
    }
    filled[static_cast<size_t>(y)] = true;
  }
  for (int32_t y = 0; y < h; ++y) {
    if (filled[static_cast<size_t>(y)]) continue;
    int32_t from = -1;
    for (int32_t d = 1; d < h && from < 0; ++d) {
      if (y - d >= 0 && filled[static_cast<size_t>(y - d)]) from = y - d;
      else if (y + d < h && filled[static_cast<size_t>(y + d)]) from = y + d;
    }
    for (int i = 0, step = from < y ? -1 : 1; from >= 0 && i < kFootprintRim && from + step >= 0 && from + step < h &&
                                              filled[static_cast<size_t>(from + step)];
         ++i)
      from += step;
    if (from >= 0) std::copy_n(buffer->data() + size_t(from) * w, w, buffer->data() + size_t(y) * w);
  }
  return Picture::Direct(w, h, reinterpret_cast<const uint8_t*>(buffer->data()), ptrdiff_t{w} * 4, buffer);
}

// Merges each region of one colour inside the footprint (pixels whose X byte is not 0) smaller
// than `minPixels` into the neighbour inside it shares the longest border with, smallest first.
// Cleaned with the outside filled, a blend on the footprint's rim ran on outside as a streak
// that no sieve could take for a speck; cut back to the footprint, it is one.
void SieveInsideFootprint(std::vector<uint32_t>& px, int32_t w, int32_t h, int32_t minPixels, int connectivity) {
  const auto inside = [&](size_t p) { return (px[p] >> 24) != 0; };
  std::vector<int32_t> parent(px.size());
  std::iota(parent.begin(), parent.end(), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t p = static_cast<size_t>(y) * w + x;
      if (!inside(p)) continue;
      const auto join = [&](int32_t nx, int32_t ny) {
        if (nx < 0 || nx >= w || ny < 0) return;
        const size_t q = static_cast<size_t>(ny) * w + nx;
        if (px[q] == px[p]) Unite(parent, static_cast<int32_t>(p), static_cast<int32_t>(q));
      };
      join(x - 1, y), join(x, y - 1);
      if (connectivity == 8) join(x - 1, y - 1), join(x + 1, y - 1);
    }
  std::vector<int32_t> size(px.size(), 0);
  for (size_t p = 0; p < px.size(); ++p)
    if (inside(p)) ++size[Find(parent, static_cast<int32_t>(p))];
  // Only the small regions' pixels are listed: a region they join that was not small stays so.
  std::unordered_map<int32_t, std::vector<int32_t>> pixels;
  for (size_t p = 0; p < px.size(); ++p)
    if (inside(p))
      if (const int32_t r = Find(parent, static_cast<int32_t>(p)); size[r] < minPixels) pixels[r].push_back(static_cast<int32_t>(p));
  std::vector<int32_t> small;
  for (const auto& [r, list] : pixels) small.push_back(r);
  std::sort(small.begin(), small.end(), [&](int32_t a, int32_t b) { return size[a] != size[b] ? size[a] < size[b] : a < b; });
  for (const int32_t r : small) {
    if (Find(parent, r) != r || size[r] >= minPixels) continue;
    std::unordered_map<int32_t, int64_t> border;
    for (const int32_t p : pixels[r]) {
      const int32_t x = p % w, y = p / w;
      for (const auto& [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
        if (nx < 0 || nx >= w || ny < 0 || ny >= h) continue;
        const size_t q = static_cast<size_t>(ny) * w + nx;
        if (inside(q))
          if (const int32_t o = Find(parent, static_cast<int32_t>(q)); o != r) ++border[o];
      }
    }
    int32_t best = -1;
    for (const auto& [o, n] : border)
      if (best < 0 || n > border[best] || (n == border[best] && o < best)) best = o;
    if (best < 0) continue;  // an islet alone in the footprint
    std::vector<int32_t> moved = std::move(pixels[r]);
    for (const int32_t p : moved) px[p] = px[best];
    parent[r] = best;
    size[best] += size[r];
    if (const auto target = pixels.find(best); target != pixels.end())
      target->second.insert(target->second.end(), moved.begin(), moved.end());
  }
}

// The cleaned colours inside the source's footprint, nothing outside it; regions the cut left
// below `minPixels` go to their neighbours inside.
Picture WithFootprintOf(const Picture& cleaned, const Picture& source, int32_t minPixels, int connectivity) {
  const int32_t w = cleaned.width, h = cleaned.height;
  auto buffer = std::make_shared<std::vector<uint32_t>>(size_t(w) * size_t(h), 0u);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (source.Inside(x, y))
        (*buffer)[size_t(y) * w + x] = static_cast<uint32_t>(cleaned.At(x, y)) | 0xFF000000u;
  if (minPixels > 1) SieveInsideFootprint(*buffer, w, h, minPixels, connectivity);
  Picture p = Picture::Direct(w, h, reinterpret_cast<const uint8_t*>(buffer->data()), ptrdiff_t{w} * 4, buffer);
  p.footprint = true;
  return p;
}

}  // namespace

std::vector<int32_t> ReadPaletteFile(const std::u16string& path) {
  QFile file(QString::fromStdU16String(path));
  if (!file.open(QIODevice::ReadOnly)) PaletteError(path, Tr("cleanup", "読み込めません"));
  std::vector<int32_t> colours;
  QByteArray head = file.peek(15);
  if (head.startsWith("\xEF\xBB\xBF")) head.remove(0, 3);  // a byte order mark, as editors on Windows write
  const bool gimp = head.startsWith("GIMP Palette");
  int lineNumber = 0;
  while (!file.atEnd()) {
    ++lineNumber;
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.isEmpty() || (gimp && (lineNumber == 1 || line.contains(':')))) continue;
    // A '#' starts a comment, unless hex digits follow it: a colour mistyped with a digit too
    // few, or with one letter for a digit (O for 0), is refused, not passed over with its areas
    // left to another colour.
    // Any space ends the colour: the wide space of a Japanese keyboard before a name too.
    const QString word =
        line.section(QRegularExpression(QStringLiteral("\\s"), QRegularExpression::UseUnicodePropertiesOption), 0, 0);
    if (line.startsWith('#') && (gimp || !(IsHexWord(word.mid(1)) || IsMistypedHexColour(word)))) continue;
    const std::optional<int32_t> c = gimp ? GimpColour(line) : HexColour(word);
    if (!c)
      PaletteError(path, Arg(Tr("cleanup", "%1 行目は色ではありません (#RRGGBB, GIMP パレットでは R G B)"),
                             {FromUtf8(std::to_string(lineNumber))}));
    // A colour listed twice is one colour: counted twice it took a second place of the 256.
    if (std::find(colours.begin(), colours.end(), *c) == colours.end()) colours.push_back(*c);
  }
  if (colours.empty()) PaletteError(path, Tr("cleanup", "色がひとつもありません"));
  if (colours.size() > kMaxCleanColours) PaletteError(path, Tr("cleanup", "256 色を超える色があります"));
  return colours;
}

namespace {

// A colour of areas that the map's lines are drawn in as well (black borders round a district
// a shade off black) gathers a fair share of the middles of all the lines, and more of them
// than an area's own necks and narrow ends give it (those come to a fiftieth of its pixels).
constexpr double kLinesOfAll = 0.15, kLinesOfArea = 0.1;

// How far (in sRGB steps) a line's middles lie from its colour at most: as far as a pixel on
// a line's middle is sure of a line's colour.
constexpr double kLineMiddleOff = 2 * kSure;

// A colour of areas that is itself a blend of two others (a pale blue between a paler one and
// white borders) gathers the middles of every line blurred between those two as well: it needs
// twice the share of its own pixels.
constexpr double kLinesOfBlendArea = 2 * kLinesOfArea;

bool IsAlsoTheLinesColour(double onLines, double onAreas, double allLines, bool blend) {
  return onLines > kLinesOfAll * allLines && onLines > (blend ? kLinesOfBlendArea : kLinesOfArea) * onAreas;
}

// The share of all lines' middles that the colour gathering most of them needs where no colour
// passes as a line's: a map drawing borders round a few areas only, in the colour of one of
// them (brazil's black, a state nine steps off black), gives them a tenth of the middles, the
// areas' narrow ends and necks giving the rest.
constexpr double kLinesOfAllWhereNone = kLinesOfAll / 2;

// Where no colour passes as a line's, the colour that gathers most middles of lines, enough of
// them for a line's, and is no blend of two others (a pale map without lines has blends of its
// areas on their borders), or -1.
int ColourOfFewLines(const std::vector<double>& onLines, const std::vector<double>& onAreas, double allLines,
                     const std::function<bool(size_t)>& isBlend) {
  int best = -1;
  for (size_t k = 0; k < onLines.size(); ++k)
    if (onLines[k] > kLinesOfAllWhereNone * allLines && onLines[k] > kLinesOfArea * onAreas[k] && !isBlend(k) &&
        (best < 0 || onLines[k] > onLines[static_cast<size_t>(best)]))
      best = static_cast<int>(k);
  return best;
}

int LineThrough(const Picture& picture, int32_t x, int32_t y, const IndexGrid& g,
                const std::vector<uint8_t>& candidates, int32_t* sides = nullptr);

// The most of a colour's thin-line middles that may be others' for it to be a line's colour.
constexpr double kOthersMiddles = 0.5;

// For each colour not a line's, how many middles of thin lines lie near it, and how many of
// those are no line's of its colour: a middle standing out from its sides towards a line's
// colour is that line's, blurred to a shade nearer a dark district's colour; one between two
// blends of its colour with a line's is the middle of a district a few pixels across squeezed
// between two borders. On a map of many small districts their colours gathered more such
// middles than flat pixels, and as lines' colours their islets and the districts themselves
// lost them (world's small countries).
std::pair<std::vector<double>, std::vector<double>> OthersMiddles(const Picture& picture,
                                                                  const std::vector<Place>& place,
                                                                  const std::vector<int32_t>& rgb,
                                                                  const std::vector<Lab>& lab,
                                                                  const std::vector<bool>& line) {
  std::vector<double> middles(rgb.size()), others(rgb.size());
  IndexGrid colours;
  colours.palette = rgb;
  std::vector<uint8_t> lineColours;
  for (size_t l = 0; l < rgb.size(); ++l)
    if (line[l]) lineColours.push_back(static_cast<uint8_t>(l));
  const auto blendWithALine = [&](int32_t side, size_t k) {
    for (const uint8_t l : lineColours)
      if (MixResidual(side, rgb[l], rgb[k]).first < kSure) return true;
    return false;
  };
  RowWindow window(picture);
  for (int32_t y = 0; y < picture.height; ++y, window.Next())
    for (int32_t x = 0; x < picture.width; ++x) {
      if (place[static_cast<size_t>(y) * picture.width + x] != Place::Line) continue;
      const int32_t own = window.Rows()[2][x];
      const auto k = static_cast<size_t>(Nearest(ToLab(own), lab));
      if (line[k] || RgbDistance(own, rgb[k]) > kLineMiddleOff) continue;
      ++middles[k];
      std::pair<int32_t, int32_t> sides;
      LineColourAt(window.Rows(), x, picture.width, &sides);
      if (LineThrough(picture, x, y, colours, lineColours) >= 0 ||
          (blendWithALine(sides.first, k) && blendWithALine(sides.second, k)))
        ++others[k];
    }
  return {middles, others};
}

// A line's colour that came from a faint peak of the flat areas (a few flat spots along the
// line, far fewer than an area's) rather than from its middles: a grey or dark brown border
// blurred between areas of every colour is, where it lies flat, tinted by the areas beside it,
// and the iterations draw it further onto their blends. Snapped to that tint, the line was found
// only beside those areas and broke into pieces elsewhere.
constexpr double kFaintFlatPeak = 6 * kLeastPeak;

// A flat peak is faint beside the lines, too, where the line middles nearest it are many times
// its flat spots: a grey border between magenta and lilac areas lies flat, tinted magenta, at
// its crossings only, while its middles run the whole border.
constexpr double kFaintBesideMiddles = 12;

// The colour the middles of lines (thin or a few pixels wide) nearest centre k stand for, by
// the median of them drawn on, where enough of them agree on it; or nothing.
std::optional<int32_t> MiddlesColour(const Picture& picture, const std::vector<Place>& place,
                                     const std::vector<Lab>& centres, size_t k) {
  std::vector<int32_t> middles;
  const int32_t w = picture.width;
  RowWindow window(picture);
  for (int32_t y = 0; y < picture.height; ++y, window.Next())
    for (int32_t x = 0; x < w; ++x) {
      const Place p = place[static_cast<size_t>(y) * w + x];
      if ((p != Place::Line && p != Place::WideLine) ||
          static_cast<size_t>(Nearest(ToLab(window.Rows()[2][x]), centres)) != k)
        continue;
      middles.push_back(LineColourAt(window.Rows(), x, w));
    }
  if (middles.size() < static_cast<size_t>(kLeastLinePixels)) return std::nullopt;
  const int32_t median = MedianColour(middles);
  if (ShareNear(middles, median) < kAgreeingMiddles) return std::nullopt;
  return median;
}

// Line colour k taken from a faint flat peak, as its middles show it: where that lies apart
// from every other colour and the peak's tint is a mix of it and another colour (the line
// blurred into an area).
std::optional<int32_t> LinesOwnColour(const Picture& picture, Places& places, const Centres& centres,
                                      const std::vector<int32_t>& rgb, size_t k, const std::vector<double>& flatDensity,
                                      double onLines) {
  if (centres.from[k] != From::Flat || centres.seed[k] < 0) return std::nullopt;
  const double flat = flatDensity[BinKey(centres.seed[k])];
  if (flat >= kFaintFlatPeak && flat * kFaintBesideMiddles >= onLines) return std::nullopt;
  const std::optional<int32_t> own = MiddlesColour(picture, places.Get(), centres.lab, k);
  if (!own) return std::nullopt;
  bool apart = true, tint = false;
  for (size_t j = 0; j < rgb.size(); ++j) {
    if (j == k) continue;
    apart = apart && RgbDistance(*own, rgb[j]) > kSure;
    tint = tint || MixResidual(rgb[k], *own, rgb[j]).first < kSure;
  }
  return apart && tint ? own : std::nullopt;
}

// How much of the lines' middles and of the flat areas lies nearest each centre, and whether
// each centre's colour is itself a blend of two others.
//
// A colour seen more on the middles of thin lines than on flat areas (a coast, a river) is a
// line's colour too. The middle of a pale line blurred into an area is a blend of the two that
// may lie nearest to a third colour; it makes no line of that colour, unless the colour is
// such a blend itself (a grey line between white and black). Nor does a middle farther from the
// colour than a line's own middles lie (a blurred islet in its outline is a blend of three
// colours, which may lie nearest to a district's: coloured as a line's, that district's islets
// lost their colour).
struct LineShares {
  std::vector<int32_t> rgb;
  std::vector<double> onLines, onAreas;
  std::vector<bool> blend;  // the centre's colour is a blend of two others
};

LineShares LineWeights(const Histogram& h, const Centres& centres) {
  LineShares s;
  for (const Lab& c : centres.lab) s.rgb.push_back(FromLab(c));
  const auto blendOfOthers = [&](int32_t colour, size_t k) {
    for (size_t i = 0; i < s.rgb.size(); ++i)
      for (size_t j = i + 1; j < s.rgb.size(); ++j)
        if (i != k && j != k && MixResidual(colour, s.rgb[i], s.rgb[j]).first < kBlendMargin) return true;
    return false;
  };
  for (size_t k = 0; k < s.rgb.size(); ++k) s.blend.push_back(blendOfOthers(s.rgb[k], k));
  s.onLines.assign(centres.lab.size(), 0);
  s.onAreas.assign(centres.lab.size(), 0);
  for (const Bin& b : h.line) {
    const auto k = static_cast<size_t>(Nearest(b.lab, centres.lab));
    if (RgbDistance(b.rgb, s.rgb[k]) > kLineMiddleOff) continue;
    if (s.blend[k] || !blendOfOthers(b.rgb, k)) s.onLines[k] += b.weight;
  }
  for (const Bin& b : h.flat) s.onAreas[Nearest(b.lab, centres.lab)] += b.weight;
  return s;
}

// Which of the centres are lines' colours.
std::vector<bool> LineColours(const Picture& picture, Places& places, const LineShares& s, const Centres& centres) {
  std::vector<bool> lines;
  const double allLines = std::accumulate(s.onLines.begin(), s.onLines.end(), 0.0);
  for (size_t k = 0; k < centres.lab.size(); ++k)
    lines.push_back(centres.from[k] != From::Flat || IsAlsoTheLinesColour(s.onLines[k], s.onAreas[k], allLines, s.blend[k]));
  if (std::find(lines.begin(), lines.end(), true) == lines.end())
    if (const int k = ColourOfFewLines(s.onLines, s.onAreas, allLines, [&](size_t c) { return s.blend[c]; }); k >= 0)
      lines[static_cast<size_t>(k)] = true;
  std::vector<bool> more(lines.size());
  for (size_t k = 0; k < more.size(); ++k) more[k] = !lines[k] && s.onLines[k] > s.onAreas[k];
  if (std::find(more.begin(), more.end(), true) != more.end()) {
    const auto [middles, others] = OthersMiddles(picture, places.Get(), s.rgb, centres.lab, lines);
    for (size_t k = 0; k < more.size(); ++k)
      if (more[k] && others[k] <= kOthersMiddles * middles[k]) lines[k] = true;
  }
  return lines;
}

// `fromLines`, when given, receives which colours were taken from the middles of thin lines.
std::vector<int32_t> RepresentativeColours(const Picture& picture, Places& places, int count,
                                           std::optional<int32_t> fixed, std::vector<bool>* lines,
                                           std::vector<bool>* fromLines = nullptr) {
  const size_t wanted = static_cast<size_t>(std::max(count, 1));
  if (std::optional<std::vector<int32_t>> own = OwnColours(picture, wanted)) {
    if (fixed && std::find(own->begin(), own->end(), *fixed) == own->end()) own->insert(own->begin(), *fixed);
    if (own->size() <= wanted) return *own;
  }
  const Histogram h = ColourBins(picture, places);
  std::vector<Bin> all = h.flat;
  all.insert(all.end(), h.line.begin(), h.line.end());
  std::vector<Lab> fixedLab;
  if (fixed) fixedLab.push_back(ToLab(*fixed));
  // The colours of flat areas and of lines, most pixels first; a line's colour is taken only
  // when it is no blend of colours taken before it (a border line, a river), never where two
  // areas meet.
  std::vector<Candidate> candidates;
  const std::vector<double> flatDensity = Density(h.flat);
  const AreasApart apart = FlatAreasApart(picture, places);
  AddPeaks(h.flat, flatDensity, false, candidates);
  AddSharpPeaks(h.flat, flatDensity, candidates);
  AddPeaks(h.line, Density(h.line), true, candidates);
  SortDensestFirst(candidates);
  std::vector<bool> tried(candidates.size());
  const auto seed = [&](Centres& centres) {
    AddCandidates(candidates, wanted, tried, centres, flatDensity, apart);
    if (centres.lab.empty() && !all.empty())
      centres.lab.push_back(all.front().lab), centres.from.push_back(From::Flat), centres.seed.push_back(-1);
  };
  const auto iterate = [&](Centres& centres) {
    KMeans(h.flat, centres, From::Flat);
    KMeans(h.line, centres, From::Line);
  };
  Centres centres{fixedLab, std::vector<From>(fixedLab.size(), From::Given), std::vector<int32_t>(fixedLab.size(), -1)};
  seed(centres);
  iterate(centres);
  // A centre that the iterations drew onto another's colour gives its place to a peak not
  // tried yet; when none is left, the colours are fewer than asked for.
  for (int round = 0; round < 16 && DropTwins(centres, fixedLab.size(), flatDensity, apart); ++round) {
    seed(centres);
    iterate(centres);
  }
  while (DropTwins(centres, fixedLab.size(), flatDensity, apart)) iterate(centres);
  AddHiddenLineColours(picture, places, wanted, centres, flatDensity);
  std::vector<int32_t> colours;
  for (size_t k = 0; k < centres.lab.size(); ++k)
    colours.push_back(k < fixedLab.size() ? *fixed : FromLab(centres.lab[k]));
  if (fromLines) {
    fromLines->clear();
    for (From from : centres.from) fromLines->push_back(from == From::Line);
  }
  if (lines) {
    const LineShares shares = LineWeights(h, centres);
    *lines = LineColours(picture, places, shares, centres);
    const std::vector<double>& onLines = shares.onLines;
    const std::vector<double>& onAreas = shares.onAreas;
    const std::vector<int32_t>& rgb = shares.rgb;
    // A line's colour seen more on the lines' middles than on flat areas is shown as the lines
    // stand for it where the flat spots it was taken from were a tint of them.
    for (size_t k = 0; k < colours.size(); ++k)
      if ((*lines)[k] && onLines[k] > onAreas[k] && k >= fixedLab.size())
        if (const std::optional<int32_t> own = LinesOwnColour(picture, places, centres, rgb, k, flatDensity, onLines[k]))
          colours[k] = *own;
  }
  return colours;
}

}  // namespace

std::vector<int32_t> RepresentativeColours(const Picture& picture, int count,
                                           std::optional<int32_t> fixed, std::vector<bool>* lines) {
  Places places(picture);
  return RepresentativeColours(picture, places, count, fixed, lines);
}

namespace {

// How far from a pixel the sure pixels lie whose colours it may be a blend of.
constexpr int32_t kBlendRadius = 4;
// How much worse (in sRGB steps) a mix of the colours sure around may explain a pixel than a
// colour no pixel nearby is sure of, and still be taken: a blend of red and yellow is close to
// orange too, yet an orange strip along their border is no region of the map.
constexpr double kForeignMargin = 32;

// The palette indexes of the lines' colours.
std::vector<uint8_t> LineColours(const IndexGrid& g) {
  std::vector<uint8_t> colours;
  for (size_t c = 0; c < g.lines.size(); ++c)
    if (g.lines[c]) colours.push_back(static_cast<uint8_t>(c));
  return colours;
}

// An area's colour standing out on the middle of a thin line (an islet a pixel or two wide,
// which has no flat spot) is taken from this close only (in sRGB steps).
constexpr double kSpeckOff = kSure / 2;
// How far (in sRGB steps) a speck lies from every mix of the colours sure around it and of the
// lines' colours: a line's colour in the palette is its blurred middle's tint (black drawn as
// dark brown), so a faded stretch of line beside an area mixes them only roughly.
constexpr double kSpeckApart = 40;

// Whether the speck at (x, y), of colour `c`, is no mix of two colours sure within kBlendRadius
// or of the lines' colours: the middle of an islet, not where a line fades beside an area.
bool StandsApart(const IndexGrid& g, const Picture& picture, const std::vector<uint8_t>& sure, int32_t x,
                 int32_t y, uint8_t c, std::vector<uint8_t> around) {
  for (int32_t ny = std::max(0, y - kBlendRadius); ny <= std::min(g.height - 1, y + kBlendRadius); ++ny)
    for (int32_t nx = std::max(0, x - kBlendRadius); nx <= std::min(g.width - 1, x + kBlendRadius); ++nx) {
      const size_t q = static_cast<size_t>(ny) * g.width + nx;
      const uint8_t v = g.index[q];
      if (sure[q] && v != c && std::find(around.begin(), around.end(), v) == around.end()) around.push_back(v);
    }
  const int32_t own = picture.At(x, y);
  for (size_t i = 0; i < around.size(); ++i)
    for (size_t j = i; j < around.size(); ++j)
      if (MixResidual(own, g.palette[around[i]], g.palette[around[j]]).first < kSpeckApart) return false;
  return true;
}

std::vector<uint8_t> SurePixels(const IndexGrid& g, const Picture& picture, const std::vector<Place>& place) {
  std::vector<uint8_t> sure(g.index.size());
  std::vector<size_t> specks;
  std::vector<int32_t> row(static_cast<size_t>(g.width));
  for (int32_t y = 0; y < g.height; ++y) {
    picture.ReadRow(y, row.data());
    for (int32_t x = 0; x < g.width; ++x) {
      const size_t p = static_cast<size_t>(y) * g.width + x;
      const uint8_t c = g.index[p];
      const double off = RgbDistance(row[x], g.palette[c]);
      // The middle of a thin line is tinted by both its sides, so a line's colour is taken
      // from farther; that of a speck (an area's colour standing out there) only from close.
      // So is the middle of a line a few pixels wide, though flat: a white border between pale
      // greens keeps a yellowish white 34 steps off white there, and settled as a blend of its
      // sides it broke into dashes.
      const bool lineColour = g.lines.empty() || g.lines[c];
      const bool lineMiddle = place[p] == Place::Line || (place[p] == Place::Flat && !g.lines.empty());
      if (place[p] >= Place::Flat && off <= kSure) sure[p] = kSureOfArea;
      else if (lineMiddle && lineColour && off <= kLineMiddleOff) sure[p] = kSureOfLine;
      else if (place[p] == Place::Line && off <= kSpeckOff) specks.push_back(p);
    }
  }
  const std::vector<uint8_t> lineColours = LineColours(g);
  std::vector<uint8_t> withSpecks = sure;
  for (size_t p : specks) {
    const auto x = static_cast<int32_t>(p % g.width), y = static_cast<int32_t>(p / g.width);
    if (StandsApart(g, picture, sure, x, y, g.index[p], lineColours)) withSpecks[p] = kSureOfLine;
  }
  return withSpecks;
}

// The share of a thin line's colour in the middle of the line where it is faintest (a diagonal
// step of a blurred one-pixel line) that still keeps the line whole.
constexpr double kLineShare = 0.2;

// The colour among `candidates` of the thin line through pixel (x, y), or -1: the pixel stands
// out from the mix of its two neighbours across (or along), towards that colour. `sides`, when
// given, is told that mix.
int LineThrough(const Picture& picture, int32_t x, int32_t y, const IndexGrid& g,
                const std::vector<uint8_t>& candidates, int32_t* sides) {
  const int32_t own = picture.At(x, y);
  const int32_t w = picture.width, h = picture.height;
  double bump = -1;
  std::array<double, 3> side = {0, 0, 0};
  const auto axis = [&](int32_t a, int32_t b) {
    const double r = MixResidual(own, a, b).first;
    if (r <= bump) return;
    bump = r;
    side = NearestMix(own, a, b);
  };
  if (x > 0 && x + 1 < w) axis(picture.At(x - 1, y), picture.At(x + 1, y));
  if (y > 0 && y + 1 < h) axis(picture.At(x, y - 1), picture.At(x, y + 1));
  if (x > 0 && x + 1 < w && y > 0 && y + 1 < h) {
    axis(picture.At(x - 1, y - 1), picture.At(x + 1, y + 1));
    axis(picture.At(x + 1, y - 1), picture.At(x - 1, y + 1));
  }
  if (bump < 0) return -1;
  if (sides) {
    *sides = 0;
    for (int i = 0; i < 3; ++i) *sides |= static_cast<int32_t>(std::lround(std::clamp(side[i], 0.0, 255.0))) << (8 * i);
  }
  int found = -1;
  double most = kLineShare;
  for (uint8_t c : candidates) {
    double d[3], dd = 0, t = 0;
    for (int i = 0; i < 3; ++i) {
      d[i] = Channel(g.palette[c], 8 * i) - side[i];
      dd += d[i] * d[i], t += (Channel(own, 8 * i) - side[i]) * d[i];
    }
    if (dd <= 0) continue;
    t /= dd;
    double r = 0;
    for (int i = 0; i < 3; ++i) r += std::pow(Channel(own, 8 * i) - side[i] - t * d[i], 2);
    if (t >= most && t <= 1 && std::sqrt(r) <= kSure) most = t, found = c;
  }
  return found;
}

// The middles of thin lines (or of lines a few pixels wide) not sure of their colour that
// stand out towards a line's colour take it, and are sure of it: where a blurred line is
// faintest, or a JPEG has tinted it with the hue of its sides (which can make it nearer to a
// dark area's colour than to its own). So do middles sure of a line's colour they do not stand
// out towards: the grey middle of a thin black line lies nearer a dark teal that also draws
// lines than black, but only towards black from its sides. And so do specks of an area's colour
// that lies itself between the sides and the line's colour.
void FollowLines(IndexGrid& g, const Picture& picture, const std::vector<Place>& place) {
  const std::vector<uint8_t> lineColours = LineColours(g);
  if (lineColours.empty()) return;
  for (int32_t y = 0; y < g.height; ++y)
    for (int32_t x = 0; x < g.width; ++x) {
      const size_t p = static_cast<size_t>(y) * g.width + x;
      if (g.sure[p] == kSureOfArea || (place[p] != Place::Line && place[p] != Place::WideLine)) continue;
      int32_t sides = 0;
      const bool ownStandsOut = g.sure[p] == kSureOfLine && LineThrough(picture, x, y, g, {g.index[p]}, &sides) >= 0;
      if (ownStandsOut && IsLineColour(g, g.index[p])) continue;
      const int found = LineThrough(picture, x, y, g, lineColours);
      if (found < 0) continue;
      // A speck of an area's colour that is itself a mix of the line's colour and the sides is
      // the line fading: a black border between red and green blurs to a dark olive.
      if (ownStandsOut && MixResidual(g.palette[g.index[p]], sides, g.palette[found]).first > kSure) continue;
      g.index[p] = static_cast<uint8_t>(found);
      g.sure[p] = kSureOfLine;
    }
}

// Beside a line a pixel may be the line blurred over an area whose colour no pixel nearby is
// sure of: an islet a few pixels wide has no flat middle. Such a colour is taken, as any colour
// not sure nearby, only when it explains the pixel by kForeignMargin better.
void SettleOnALineOverAnyArea(const IndexGrid& g, int32_t own, const std::vector<uint8_t>& around, double& best,
                              uint8_t& settled) {
  if (best <= kForeignMargin) return;  // a mix of colours sure nearby does as well
  std::array<bool, 256> nearby{};
  for (uint8_t v : around) nearby[v] = true;
  const auto isLine = [&](size_t c) { return IsLineColour(g, c); };
  for (uint8_t l : around) {
    if (!isLine(l)) continue;
    for (size_t c = 0; c < g.palette.size() && best > kForeignMargin; ++c) {
      if (nearby[c] || isLine(c)) continue;
      const auto [r, nearerArea] = MixResidual(own, g.palette[l], g.palette[c]);
      if (r + kForeignMargin < best) best = r + kForeignMargin, settled = nearerArea ? static_cast<uint8_t>(c) : l;
    }
  }
}

// The ring of eight neighbours, clockwise from above.
constexpr int kRingX[8] = {0, 1, 1, 1, 0, -1, -1, -1}, kRingY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

// How many steps (in any channel) a pixel lies at most from the middle of a flat area to be
// that area's: its very colour, as a clean picture draws it. A JPEG's noise brings a blend
// along an edge a step or two from the middle now and then.
constexpr int kSameFlat = 0;

// Whether pixel (x, y), of colour `own`, has the very colour of a pixel deep inside a flat area
// of its palette colour within kBlendRadius, that colour too far from the palette's to be sure
// of it: the rim of a flat area whose colour the palette lacks. Its colour may be a mix of the
// colours beside it (a blue between white and a darker blue), but a blend fades across an edge
// while the rim is as flat as the middle; taken for a blend, the rim came out in another colour
// than the middle. Where the middle is sure of its colour, its blends are settled as before.
bool OfAFlatAreaNearby(const IndexGrid& g, const Picture& picture, const std::vector<Place>& place, int32_t x,
                       int32_t y, int32_t own) {
  const int32_t w = g.width, h = g.height;
  const uint8_t mine = g.index[static_cast<size_t>(y) * w + x];
  // Along the eight directions: the middle of a flat area lies straight inwards from its rim.
  for (int j = 0; j < 8; ++j)
    for (int32_t d = 1; d <= kBlendRadius; ++d) {
      const int32_t nx = x + d * kRingX[j], ny = y + d * kRingY[j];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) break;
      const size_t q = static_cast<size_t>(ny) * w + nx;
      if (g.index[q] != mine) break;
      if (place[q] == Place::Deep) {
        if (!g.sure[q] && Step(own, picture.At(nx, ny)) <= kSameFlat) return true;
        break;
      }
    }
  return false;
}

// Edge pixels of a real picture are blends of the colours on either side (scanning, scaling,
// blurring and anti-aliasing all mix neighbouring pixels), and a blend can lie nearer to a
// third palette colour than to either, which would draw a thin strip of that colour along the
// border. A pixel not sure of its colour that is better explained as a mix of two or three
// colours sure nearby takes the one the mix holds most of; a thin line of a colour that is no
// such mix keeps it (a border line between two regions).
void SettleEdges(IndexGrid& g, const Picture& picture, Places& places) {
  const int32_t w = g.width, h = g.height;
  const std::vector<Place>& place = places.Get();
  g.sure = SurePixels(g, picture, place);
  const std::vector<uint8_t>& sure = g.sure;
  FollowLines(g, picture, place);
  std::vector<uint8_t> settled = g.index;
  std::vector<uint8_t> around;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t p = static_cast<size_t>(y) * w + x;
      if (sure[p]) continue;
      const uint8_t mine = g.index[p];
      around.clear();
      bool mineNearby = false;
      for (int32_t ny = std::max(0, y - kBlendRadius); ny <= std::min(h - 1, y + kBlendRadius); ++ny)
        for (int32_t nx = std::max(0, x - kBlendRadius); nx <= std::min(w - 1, x + kBlendRadius); ++nx) {
          const size_t q = static_cast<size_t>(ny) * w + nx;
          if (!sure[q]) continue;
          const uint8_t v = g.index[q];
          if (v == mine) mineNearby = true;
          else if (std::find(around.begin(), around.end(), v) == around.end()) around.push_back(v);
        }
      if (around.empty()) continue;
      if (mineNearby) around.push_back(mine);
      const int32_t own = picture.At(x, y);
      // A colour no pixel nearby is sure of is taken only when no mix comes close.
      double best = RgbDistance(own, g.palette[mine]) + (mineNearby ? 0 : kForeignMargin);
      for (size_t i = 0; i < around.size(); ++i)
        for (size_t j = i; j < around.size(); ++j) {
          const auto [r, nearerB] = MixResidual(own, g.palette[around[i]], g.palette[around[j]]);
          if (r < best) best = r, settled[p] = nearerB ? around[j] : around[i];
          for (size_t k = j + 1; k < around.size() && j > i; ++k) {
            const uint8_t three[3] = {around[i], around[j], around[k]};
            const auto [r3, most] = MixResidual(own, g.palette[three[0]], g.palette[three[1]], g.palette[three[2]]);
            if (r3 < best) best = r3, settled[p] = three[most];
          }
        }
      SettleOnALineOverAnyArea(g, own, around, best, settled[p]);
      if (settled[p] != mine && OfAFlatAreaNearby(g, picture, place, x, y, own)) settled[p] = mine;
    }
  g.index = std::move(settled);
}

// Each line colour as the line stands for it rather than as its blurred middles show it (a
// black border blurred into a dark grey tinted by its sides is black again), by the median of
// its middles drawn on; kept as it is where that would come within kSure of another colour of
// the palette (a white line on a white background).
void ShowLinesInTheirOwnColours(IndexGrid& g, const Picture& picture, Places& places,
                                const std::vector<bool>& fromLines) {
  const std::vector<Place>& place = places.Get();
  std::vector<std::array<std::array<int64_t, 256>, 3>> counts(g.palette.size());
  std::vector<int64_t> pixels(g.palette.size()), all(g.palette.size());
  for (uint8_t k : g.index) ++all[k];
  const int32_t w = g.width, h = g.height;
  RowWindow window(picture);
  for (int32_t y = 0; y < h; ++y, window.Next())
    for (int32_t x = 0; x < w; ++x) {
      const size_t p = static_cast<size_t>(y) * w + x;
      const uint8_t k = g.index[p];
      if (place[p] != Place::Line || !fromLines[k]) continue;
      const int32_t c = LineColourAt(window.Rows(), x, w);
      for (int i = 0; i < 3; ++i) ++counts[k][i][Channel(c, 8 * i)];
      ++pixels[k];
    }
  std::vector<int32_t> shown = g.palette;
  for (size_t k = 0; k < g.palette.size(); ++k) {
    if (pixels[k] < kLeastLinePixels || pixels[k] < kLeastMiddleShare * all[k]) continue;
    int32_t c = 0;
    for (int i = 0; i < 3; ++i) {
      int64_t below = 0;
      int v = 0;
      while ((below += counts[k][i][v]) * 2 < pixels[k]) ++v;
      c |= v << (8 * i);
    }
    bool apart = true;
    for (size_t j = 0; j < g.palette.size() && apart; ++j)
      apart = j == k || (RgbDistance(c, g.palette[j]) > kSure && RgbDistance(c, shown[j]) > kSure);
    if (apart) shown[k] = c;
  }
  g.palette = std::move(shown);
}

// The share of colour `line` in `own` seen as a mix of it and `area` (0: none, 1: all).
double LineShare(int32_t own, int32_t area, int32_t line) {
  double dd = 0, t = 0;
  for (int s = 0; s < 24; s += 8) {
    const double d = Channel(line, s) - Channel(area, s);
    dd += d * d, t += (Channel(own, s) - Channel(area, s)) * d;
  }
  return dd > 0 ? t / dd : 0;
}

// The least share of a line's colour in a pixel that closes a gap in the line.
constexpr double kGapShare = 0.25;
// The shortest strip of one colour between two shores (in pixels) that is an inlet, kept open,
// rather than a gap across a line.
constexpr int32_t kInletLength = 6;
// The widest a line is crossed over (in pixels) when its sides are looked for.
constexpr int32_t kLineWide = 6;

// How many pieces of a colour, as regions are traced (4-connected), meet the pixel in the
// middle of the ring `mask`: runs of the ring that hold a side neighbour.
int SidePieces(unsigned mask) {
  if (mask == 0xFF) return 1;
  int pieces = 0;
  for (int i = 0; i < 8; ++i) {
    if (!(mask >> i & 1) || (mask >> ((i + 7) % 8) & 1)) continue;  // not where a run starts
    bool side = false;
    for (int j = i; mask >> (j % 8) & 1; ++j) side |= j % 2 == 0;
    pieces += side;
  }
  return pieces;
}

// Whether the pixel at (x, y), in colour `own`, holds that colour's region together there.
bool HoldsItsOwnTogetherAs(const IndexGrid& g, int32_t x, int32_t y, uint8_t own) {
  const auto at = [&](int32_t px, int32_t py) { return g.index[static_cast<size_t>(py) * g.width + px]; };
  unsigned mask = 0;
  for (int j = 0; j < 8; ++j) {
    const int32_t nx = x + kRingX[j], ny = y + kRingY[j];
    mask |= unsigned{nx >= 0 && ny >= 0 && nx < g.width && ny < g.height && at(nx, ny) == own} << j;
  }
  return SidePieces(mask) >= 2;
}

// Whether the pixel at (x, y) holds its colour's region together there.
bool HoldsItsOwnTogether(const IndexGrid& g, int32_t x, int32_t y) {
  return HoldsItsOwnTogetherAs(g, x, y, g.index[static_cast<size_t>(y) * g.width + x]);
}

// Pixel (x, y) of `index` takes line colour c, and is sure of it.
void TakeForTheLine(IndexGrid& g, std::vector<uint8_t>& index, int32_t x, int32_t y, uint8_t c) {
  const size_t p = static_cast<size_t>(y) * g.width + x;
  index[p] = c;
  if (!g.sure.empty()) g.sure[p] = kSureOfLine;
}

// How far from a corner of a line an area on its far side is looked for, beyond the line's
// blends, when a speck lies in the corner.
constexpr int32_t kFarSideReach = 5;

// Whether a colour other than `near` and `line` (with `areasOnly`, no line's colour either) lies
// within `reach` pixels of the block of four pixels at (x, y).
bool HasAFarSide(const IndexGrid& g, int32_t x, int32_t y, uint8_t near, uint8_t line, int32_t reach = 2,
                 bool areasOnly = false) {
  for (int32_t ny = std::max(y - reach, 0); ny <= std::min(y + 1 + reach, g.height - 1); ++ny)
    for (int32_t nx = std::max(x - reach, 0); nx <= std::min(x + 1 + reach, g.width - 1); ++nx) {
      const uint8_t v = g.index[static_cast<size_t>(ny) * g.width + nx];
      if (v != near && v != line && !(areasOnly && IsLineColour(g, v))) return true;
    }
  return false;
}

// Where two pixels of a line meet only at a corner, of the two pixels of two other colours
// beside that corner the one holding more of the line takes it, unless it holds its own
// region together: traced 4-connected, the line would break in two there. After a sieve, no
// pixel is taken from a region it would leave smaller than `leastPixels`, and with
// `blurredCorners` two pixels of one colour both holding some of the line are its corner too.
void JoinLineCorners(IndexGrid& g, const Picture& picture, int32_t leastPixels = 0, bool blurredCorners = false) {
  if (std::find(g.lines.begin(), g.lines.end(), true) == g.lines.end()) return;
  const int32_t w = g.width, h = g.height;
  const auto isLine = [&](size_t c) { return IsLineColour(g, c); };
  const auto at = [&](int32_t x, int32_t y) { return g.index[static_cast<size_t>(y) * w + x]; };
  std::vector<int32_t> label, size;
  if (leastPixels > 0) {
    size.assign(static_cast<size_t>(LabelRegions(g, 4, label)), 0);
    for (int32_t r : label) ++size[r];
  }
  const auto mayGive = [&](int32_t x, int32_t y) {
    return !HoldsItsOwnTogether(g, x, y) && (size.empty() || size[label[static_cast<size_t>(y) * w + x]] > leastPixels);
  };
  const auto take = [&](int32_t x, int32_t y, uint8_t line) {
    if (!size.empty()) --size[label[static_cast<size_t>(y) * w + x]];
    TakeForTheLine(g, g.index, x, y, line);
  };
  // Where the pixel on one side of a faint line's corner is a speck of the colour on the other
  // (a pocket the blur left inside the line, which the sieve will take) and the line parts
  // two areas, the speck's pixel takes the line if it holds some of it: the line would else
  // break there, and its piece beyond be sieved away as a dash (a white border between pale
  // areas broken at a pocket of grey).
  // The regions of the two pixels beside the corner of the block at (x, y) (see below).
  const auto sides = [&](int32_t x, int32_t y, int diagonal) {
    return std::pair{label[static_cast<size_t>(y) * w + x + 1 - diagonal], label[static_cast<size_t>(y + 1) * w + x + diagonal]};
  };
  const auto takeSpeckInCorner = [&](int32_t x, int32_t y, int diagonal, double shareC, double shareD) {
    if (label.empty()) return false;
    const int32_t ax = x + diagonal, bx = x + 1 - diagonal;
    const auto [c, d] = sides(x, y, diagonal);
    if ((size[c] < leastPixels) == (size[d] < leastPixels)) return false;
    const auto [sx, sy, share] = size[c] < leastPixels ? std::tuple{bx, y, shareC} : std::tuple{ax, y + 1, shareD};
    if (share < kGapShare || HoldsItsOwnTogether(g, sx, sy) ||
        !HasAFarSide(g, x, y, at(bx, y), at(ax, y), kFarSideReach, true))
      return false;
    take(sx, sy, at(ax, y));
    return true;
  };
  for (int32_t y = 0; y + 1 < h; ++y)
    for (int32_t x = 0; x + 1 < w; ++x)
      for (int diagonal = 0; diagonal < 2; ++diagonal) {
        // Corners a and b hold the line; c and d are the pixels beside their meeting.
        const int32_t ax = x + diagonal, bx = x + 1 - diagonal;
        const uint8_t line = at(ax, y);
        if (!isLine(line) || at(bx, y + 1) != line || at(bx, y) == line || at(ax, y + 1) == line) continue;
        const double shareC = LineShare(picture.At(bx, y), g.palette[at(bx, y)], g.palette[line]);
        const double shareD = LineShare(picture.At(ax, y + 1), g.palette[at(ax, y + 1)], g.palette[line]);
        // One colour crossing the line there, or, once the sieve has left only regions, a faint
        // border's blurred corner: its blends with the far side can lie nearest the near side's
        // colour, which then runs on round the corner along the line. A line inside one area
        // (a frame drawn in the sea) has no far side, unless the line parts two areas of that
        // colour (a border between two neighbours of one colour, running to the picture's edge);
        // a pocket the blur closed off is no area.
        const auto partsTwo = [&] {
          if (HasAFarSide(g, x, y, at(bx, y), line)) return true;
          if (label.empty()) return false;
          const auto [c, d] = sides(x, y, diagonal);
          return c != d && std::min(size[c], size[d]) >= kAlikeTimes * leastPixels;
        };
        if (blurredCorners && at(bx, y) == at(ax, y + 1) && takeSpeckInCorner(x, y, diagonal, shareC, shareD)) continue;
        if (at(bx, y) == at(ax, y + 1) && !(blurredCorners && std::min(shareC, shareD) >= kGapShare && partsTwo()))
          continue;
        const bool giveC = mayGive(bx, y), giveD = mayGive(ax, y + 1);
        if (giveC && (!giveD || shareC >= shareD)) take(bx, y, line);
        else if (giveD) take(ax, y + 1, line);
      }
}

// A thin line between two colours of the map is one piece where the picture draws it whole.
// Blurred, a one-pixel line fades at its diagonal steps and beside a dark area, leaving gaps of
// a pixel; and where its pixels meet only at a corner, a region traced 4-connected breaks in
// two. A pixel between two pieces of a line, with another colour than its own beyond, that holds
// some of the line's colour takes it, and so does one in a gap of a line running on across its
// own colour (a border between two neighbours of one colour); of the two pixels of two colours
// beside a corner where a line's pixels meet, the one holding more of it does. A narrow strip of
// one colour between two lines (an inlet between its shores, a neck between two other areas)
// stays open.
void JoinLines(IndexGrid& g, const Picture& picture) {
  if (std::find(g.lines.begin(), g.lines.end(), true) == g.lines.end()) return;
  const int32_t w = g.width, h = g.height;
  const auto isLine = [&](size_t c) { return IsLineColour(g, c); };
  const auto at = [&](int32_t x, int32_t y) { return g.index[static_cast<size_t>(y) * w + x]; };
  const auto inside = [&](int32_t x, int32_t y) { return x >= 0 && y >= 0 && x < w && y < h; };
  // How far a strip of the pixel's own colour runs across the gap's direction (dx, dy) with
  // line colour c `ahead` and `behind` pixels away on either side: an inlet between two shores
  // runs on, a gap in a line is no longer than the line is thick.
  const auto channelLength = [&](int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t ahead, int32_t behind,
                                 uint8_t c) {
    const uint8_t own = at(x, y);
    const auto flanked = [&](int32_t px, int32_t py) {
      const int32_t ax = px + ahead * dx, ay = py + ahead * dy, bx = px - behind * dx, by = py - behind * dy;
      return inside(px, py) && inside(ax, ay) && inside(bx, by) && at(px, py) == own && at(ax, ay) == c &&
             at(bx, by) == c;
    };
    int32_t length = 1;
    for (const int side : {1, -1})
      for (int32_t k = 1; k < kInletLength && flanked(x - side * dy * k, y + side * dx * k); ++k) ++length;
    return length;
  };
  // Whether the piece of line `first` pixels away in direction (dx, dy) is an end of a line
  // running on that way, or a line no wider than kLineWide with the pixel's own colour beyond:
  // not a shore with another area beyond (a neck of an area between two of its borders).
  const auto leadsBackTo = [&](int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t first) {
    int32_t px = x + first * dx, py = y + first * dy;
    for (int32_t n = 0; inside(px, py) && isLine(at(px, py)); ++n, px += dx, py += dy)
      if (n > kLineWide) return true;
    return inside(px, py) && at(px, py) == at(x, y);
  };
  // Whether the pixel at (x, y) may close a gap in line colour c, whose pieces lie `ahead` and
  // `behind` pixels away in direction (dx, dy).
  const auto mayClose = [&](int32_t x, int32_t y, uint8_t c, int32_t dx, int32_t dy, int32_t ahead, int32_t behind) {
    const uint8_t own = at(x, y);
    if (isLine(own) || LineShare(picture.At(x, y), g.palette[own], g.palette[c]) < kGapShare) return false;
    bool otherSide = false;
    for (int j = 0; j < 8 && !otherSide; ++j) {
      const uint8_t v = at(x + kRingX[j], y + kRingY[j]);
      otherSide = v != own && !isLine(v);
    }
    if (otherSide && !HoldsItsOwnTogether(g, x, y)) return true;
    return channelLength(x, y, dx, dy, ahead, behind, c) < kInletLength &&
           leadsBackTo(x, y, dx, dy, ahead) && leadsBackTo(x, y, -dx, -dy, behind);
  };
  std::vector<uint8_t> joined = g.index;
  for (int32_t y = 2; y + 2 < h; ++y)
    for (int32_t x = 2; x + 2 < w; ++x)
      for (int i = 0; i < 8; ++i) {
        const int32_t dx = kRingX[i], dy = kRingY[i];
        const uint8_t c = at(x + dx, y + dy);
        if (!isLine(c)) continue;
        if (at(x - dx, y - dy) == c && mayClose(x, y, c, dx, dy, 1, 1)) {
          TakeForTheLine(g, joined, x, y, c);
          break;
        }
        if (at(x - 2 * dx, y - 2 * dy) == c && mayClose(x, y, c, dx, dy, 1, 2) &&
            mayClose(x - dx, y - dy, c, dx, dy, 2, 1)) {
          TakeForTheLine(g, joined, x, y, c), TakeForTheLine(g, joined, x - dx, y - dy, c);
          break;
        }
      }
  g.index = std::move(joined);
  JoinLineCorners(g, picture);
}

// The least share of what an islet's middle holds of its colour that a pixel of its outline
// holds to go back to it, and how many pixels deep the outline is looked into.
constexpr double kIsletShare = 0.5;
constexpr int kRimDepth = 3;
// The least share of the sieve's size an islet's colour adds up to that keeps it. A JPEG keeps
// an islet's hue at half its size and smooths it away: north_korea's purple islet of 27 pixels,
// in its black outline, adds up to 17 pixels of purple.
constexpr double kIsletKept = 0.8;
// How far (in pixels) an islet lies from any other region of its colour: a tip of an area whose
// neck the line's blends took is no islet.
constexpr int32_t kIsletApart = 4;

// Whether another region than `label` of colour `own` lies within kIsletApart pixels of the
// pixels `px`.
bool AloneInItsColour(const IndexGrid& g, const std::vector<int32_t>& label, const std::vector<int32_t>& px) {
  const int32_t w = g.width, h = g.height, r = label[px[0]];
  const uint8_t own = g.index[px[0]];
  for (const int32_t p : px) {
    const int32_t x = p % w, y = p / w;
    for (int32_t ny = std::max(y - kIsletApart, 0); ny <= std::min(y + kIsletApart, h - 1); ++ny)
      for (int32_t nx = std::max(x - kIsletApart, 0); nx <= std::min(x + kIsletApart, w - 1); ++nx) {
        const int32_t q = ny * w + nx;
        if (g.index[q] == own && label[q] != r) return false;
      }
  }
  return true;
}

// Regions of areas smaller than `minPixels` with a line going all round them (at least
// kOutlined of their border), 8-connected, apart from other regions of their colour, and the
// line colour holding most of that border.
std::vector<std::pair<std::vector<int32_t>, uint8_t>> SmallOutlinedIslets(const IndexGrid& g, int32_t minPixels) {
  std::vector<int32_t> label;
  const int32_t count = LabelRegions(g, 8, label);
  std::vector<std::vector<int32_t>> members(count);
  for (size_t p = 0; p < label.size(); ++p)
    if (members[label[p]].size() < static_cast<size_t>(minPixels)) members[label[p]].push_back(static_cast<int32_t>(p));
  std::vector<std::pair<std::vector<int32_t>, uint8_t>> islets;
  const int32_t w = g.width, h = g.height;
  for (int32_t r = 0; r < count; ++r) {
    std::vector<int32_t>& px = members[r];
    if (px.empty() || px.size() >= static_cast<size_t>(minPixels) || IsLineColour(g, g.index[px[0]])) continue;
    std::unordered_map<uint8_t, int64_t> byColour;
    int64_t perimeter = 0;
    for (const int32_t p : px) {
      const int32_t x = p % w, y = p / w;
      for (const auto& [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        const int32_t q = ny * w + nx;
        if (label[q] != r) ++perimeter, ++byColour[g.index[q]];
      }
    }
    if (const int line = OutlineColour(g, byColour, perimeter); line >= 0 && AloneInItsColour(g, label, px))
      islets.emplace_back(std::move(px), static_cast<uint8_t>(line));
  }
  return islets;
}

// An islet a few pixels across drawn in a line going all round it loses its rim when blurred:
// the line's blends are taken for the line to keep it whole, and what is left is smaller than
// the sieve, which would merge an islet the picture shows (emirates' red islets a pixel wide
// went black). Where the colour the islet and its outline hold, up to kRimDepth deep, adds up
// to kIsletKept of the sieve's size, the islet takes back the pixels of its outline holding at
// least half of what its middle holds, except where the line would break.
void GiveIsletsBackTheirRims(IndexGrid& g, const Picture& picture, int32_t minPixels) {
  if (minPixels <= 1 || std::find(g.lines.begin(), g.lines.end(), true) == g.lines.end()) return;
  const int32_t w = g.width, h = g.height;
  for (const auto& [pixels, outline] : SmallOutlinedIslets(g, minPixels)) {
    const std::vector<int32_t>& islet = pixels;
    const uint8_t line = outline, own = g.index[islet[0]];
    const auto ownShare = [&](int32_t p) {
      return std::clamp(1 - LineShare(picture.At(p % w, p / w), g.palette[own], g.palette[line]), 0.0, 1.0);
    };
    // A blur moves colour about but keeps how much of it there is: the islet's share of its own
    // pixels and of its outline's is its size before the blur. An islet narrower than the blur
    // never shows its whole colour: its rim holds half of what its middle holds.
    double size = 0, middle = 0;
    for (const int32_t p : islet) size += ownShare(p), middle = std::max(middle, ownShare(p));
    std::vector<int32_t> rim, looked, frontier = islet;
    for (int depth = 0; depth < kRimDepth; ++depth) {
      std::vector<int32_t> next;
      for (const int32_t p : frontier) {
        const int32_t x = p % w, y = p / w;
        for (const auto& [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const int32_t q = ny * w + nx;
          if (g.index[q] != line) continue;
          g.index[q] = own;  // for now, so that each pixel is looked at once
          looked.push_back(q);
          const double share = ownShare(q);
          size += share;
          if (share >= kIsletShare * middle) next.push_back(q);
        }
      }
      rim.insert(rim.end(), next.begin(), next.end());
      frontier = std::move(next);
    }
    for (const int32_t q : looked) g.index[q] = line;
    if (size < kIsletKept * minPixels) continue;
    for (const int32_t q : rim) g.index[q] = own;
    for (const int32_t q : rim)
      if (HoldsItsOwnTogetherAs(g, q % w, q / w, line)) g.index[q] = line;
      else if (!g.sure.empty()) g.sure[q] = 0;
  }
}

IndexGrid SnapToPalette(const Picture& picture, Places& places, std::vector<int32_t> palette,
                        std::vector<bool> lines, bool settle) {
  IndexGrid g;
  g.lines = std::move(lines);
  g.width = picture.width;
  g.height = picture.height;
  g.index.resize(static_cast<size_t>(g.width) * g.height);
  std::vector<Lab> centres;
  for (int32_t c : palette) centres.push_back(ToLab(c));
  g.palette = std::move(palette);
  // Each colour is looked up once: a JPEG holds far fewer distinct colours than pixels.
  std::vector<uint8_t> nearest(1 << 24);
  std::vector<uint64_t> known((1 << 24) / 64);
  std::vector<int32_t> row(static_cast<size_t>(g.width));
  for (int32_t y = 0; y < g.height; ++y) {
    picture.ReadRow(y, row.data());
    uint8_t* out = g.index.data() + static_cast<size_t>(y) * g.width;
    for (int32_t x = 0; x < g.width; ++x) {
      const int32_t c = row[x];
      if (!(known[c >> 6] >> (c & 63) & 1)) {
        nearest[c] = static_cast<uint8_t>(Nearest(ToLab(c), centres));
        known[c >> 6] |= uint64_t{1} << (c & 63);
      }
      out[x] = nearest[c];
    }
  }
  if (settle) {
    SettleEdges(g, picture, places);
    JoinLines(g, picture);
  }
  return g;
}

}  // namespace

IndexGrid SnapToPalette(const Picture& picture, std::vector<int32_t> palette, std::vector<bool> lines,
                        bool settle) {
  Places places(picture);
  return SnapToPalette(picture, places, std::move(palette), std::move(lines), settle);
}

namespace {

// The least share of the border between two areas that a line must run along for the places
// where they touch to be its gaps.
constexpr double kBridgedShare = 0.6;

uint64_t PairKey(int32_t a, int32_t b) {
  return static_cast<uint64_t>(std::min(a, b)) << 32 | static_cast<uint32_t>(std::max(a, b));
}

// How far each line colour runs between two regions of areas (not lines): for each pair of
// regions, how often a run of the colour, at most kLineWide pixels across, leads from one to the
// other, across and down.
class LineCrossings {
 public:
  LineCrossings(const IndexGrid& g, const std::vector<int32_t>& label) : g_(g), label_(label) {}

  void Count() {
    for (int32_t y = 0; y < g_.height; ++y)
      for (int32_t x = 0; x < g_.width; ++x) {
        Cross(x, y, 1, 0);
        Cross(x, y, 0, 1);
      }
  }

  // The line colour running between regions a and b along most of their border, if any.
  std::optional<uint8_t> BridgeFor(int32_t a, int32_t b, int64_t touching) const {
    const auto found = crossings_.find(PairKey(a, b));
    if (found == crossings_.end()) return std::nullopt;
    const auto& [colour, count] = *std::max_element(found->second.begin(), found->second.end(),
                                                    [](const auto& l, const auto& r) { return l.second < r.second; });
    if (static_cast<double>(count) < kBridgedShare * static_cast<double>(count + touching)) return std::nullopt;
    return colour;
  }

 private:
  bool IsLine(uint8_t v) const { return IsLineColour(g_, v); }

  // From the area pixel before (x, y) in direction (dx, dy), across a run of one line colour.
  void Cross(int32_t x, int32_t y, int32_t dx, int32_t dy) {
    const int32_t w = g_.width;
    if (x - dx < 0 || y - dy < 0) return;
    const size_t before = static_cast<size_t>(y - dy) * w + (x - dx);
    const uint8_t v = g_.index[static_cast<size_t>(y) * w + x];
    if (!IsLine(v) || IsLine(g_.index[before])) return;
    int32_t n = 0, ex = x, ey = y;
    while (ex < w && ey < g_.height && g_.index[static_cast<size_t>(ey) * w + ex] == v && n <= kLineWide)
      ex += dx, ey += dy, ++n;
    if (n > kLineWide || ex >= w || ey >= g_.height) return;
    const size_t after = static_cast<size_t>(ey) * w + ex;
    if (IsLine(g_.index[after]) || label_[before] == label_[after]) return;
    ++crossings_[PairKey(label_[before], label_[after])][v];
  }

  const IndexGrid& g_;
  const std::vector<int32_t>& label_;
  std::unordered_map<uint64_t, std::unordered_map<uint8_t, int64_t>> crossings_;
};

}  // namespace

int64_t BridgeLineGaps(IndexGrid& g) {
  if (std::find(g.lines.begin(), g.lines.end(), true) == g.lines.end()) return 0;
  const auto isLine = [&](size_t c) { return IsLineColour(g, c); };
  std::vector<int32_t> label;
  LabelRegions(g, 4, label);
  const int32_t w = g.width, h = g.height;
  // Where two areas touch, pixel beside pixel, with no line between: counted, then bridged.
  const auto eachContact = [&](auto&& visit) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t p = static_cast<size_t>(y) * w + x;
        for (const size_t q : {x + 1 < w ? p + 1 : p, y + 1 < h ? p + w : p})
          if (q != p && label[p] != label[q] && !isLine(g.index[p]) && !isLine(g.index[q])) visit(p, q);
      }
  };
  std::unordered_map<uint64_t, int64_t> touching;
  eachContact([&](size_t p, size_t q) { ++touching[PairKey(label[p], label[q])]; });
  if (touching.empty()) return 0;
  LineCrossings crossings(g, label);
  crossings.Count();
  std::unordered_map<uint64_t, std::optional<uint8_t>> bridge;
  for (const auto& [key, n] : touching)
    bridge[key] = crossings.BridgeFor(static_cast<int32_t>(key >> 32), static_cast<int32_t>(key & 0xFFFFFFFF), n);
  // The pixels to draw are gathered first: drawing one would hide the contacts beside it.
  std::vector<std::pair<size_t, uint8_t>> draw;
  // A colour that is the two areas' own blend runs along their border as its blurred edge.
  const auto blendOf = [&](uint8_t c, size_t p, size_t q) {
    return MixResidual(g.palette[c], g.palette[g.index[p]], g.palette[g.index[q]]).first < kSure;
  };
  eachContact([&](size_t p, size_t q) {
    if (const std::optional<uint8_t> colour = bridge[PairKey(label[p], label[q])]; colour && !blendOf(*colour, p, q))
      draw.emplace_back(p, *colour), draw.emplace_back(q, *colour);
  });
  int64_t drawn = 0;
  for (const auto& [p, colour] : draw) {
    drawn += g.index[p] != colour;
    g.index[p] = colour;
    if (!g.sure.empty()) g.sure[p] = kSureOfLine;
  }
  return drawn;
}

namespace {

// The longest stretch (in pixels) of an area between two pieces of a line where another line
// ends on it: the blends round the end of a border a pixel wide.
constexpr int32_t kJunctionGap = 6;
// How many pixels a thin region holds at most for each pixel of its border's length (a line w
// pixels wide holds about w / 2).
constexpr double kThinLine = 2;

// Calls visit(q) for each pixel q of the ring of eight round pixel p inside the grid (with
// `step` 2, of the four beside it).
template <typename Visit>
void EachAround(const IndexGrid& g, size_t p, Visit&& visit, int step = 1) {
  const auto x = static_cast<int32_t>(p % g.width), y = static_cast<int32_t>(p / g.width);
  for (int j = 0; j < 8; j += step) {
    const int32_t nx = x + kRingX[j], ny = y + kRingY[j];
    if (nx >= 0 && ny >= 0 && nx < g.width && ny < g.height) visit(static_cast<size_t>(ny) * g.width + nx);
  }
}

// The 4-connected regions of a grid, with each one's size and whether it is thin.
struct Pieces {
  explicit Pieces(const IndexGrid& g) {
    const auto count = static_cast<size_t>(LabelRegions(g, 4, label));
    size.assign(count, 0);
    std::vector<int64_t> border(count);
    const int32_t w = g.width, h = g.height;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t p = static_cast<size_t>(y) * w + x;
        ++size[label[p]];
        if (x + 1 < w && label[p + 1] != label[p]) ++border[label[p]], ++border[label[p + 1]];
        if (y + 1 < h && label[p + w] != label[p]) ++border[label[p]], ++border[label[p + w]];
      }
    thin.resize(count);
    for (size_t r = 0; r < count; ++r) thin[r] = static_cast<double>(size[r]) <= kThinLine * static_cast<double>(border[r]);
  }
  bool IsThin(size_t p) const { return thin[label[p]]; }
  int64_t SizeAt(size_t p) const { return size[label[p]]; }

  std::vector<int32_t> label;
  std::vector<int64_t> size;
  std::vector<uint8_t> thin;
};

// The pixels of one region beside the ending line (marked 1 in `mark`), 8-connected to the one
// at `start`, marked 2 as they are taken; empty when they run longer than kJunctionGap.
std::vector<size_t> StretchAlong(const Pieces& pieces, const IndexGrid& g, size_t start, std::vector<uint8_t>& mark) {
  std::vector<size_t> stretch{start};
  mark[start] = 2;
  for (size_t i = 0; i < stretch.size(); ++i)
    EachAround(g, stretch[i], [&](size_t q) {
      if (mark[q] != 1 || pieces.label[q] != pieces.label[start]) return;
      mark[q] = 2;
      stretch.push_back(q);
    });
  if (static_cast<int32_t>(stretch.size()) > kJunctionGap) stretch.clear();
  return stretch;
}

// The colour of a line cut at `stretch` by the line `ending` there, or -1: two thin pieces of it
// lie beside the stretch, the smaller no larger than the piece of the ending line beside it (the
// ending line is a border running on, not a speck of a line's colour in a pocket of blends).
int LineCutAt(const IndexGrid& g, const Pieces& pieces, const std::vector<size_t>& stretch, uint8_t ending) {
  std::unordered_map<uint8_t, size_t> piece;
  int cut = -1;
  int64_t endingSize = 0, cutSize = 0;
  for (size_t p : stretch)
    EachAround(g, p, [&](size_t q) {
      const uint8_t v = g.index[q];
      if (v == ending) endingSize = std::max(endingSize, pieces.SizeAt(q));
      if (v == ending || !IsLineColour(g, v) || !pieces.IsThin(q)) return;
      const auto [known, first] = piece.emplace(v, q);
      if (first || pieces.label[known->second] == pieces.label[q]) return;
      cut = v;
      cutSize = std::min(pieces.SizeAt(known->second), pieces.SizeAt(q));
    });
  return cut >= 0 && endingSize >= cutSize ? cut : -1;
}

}  // namespace

int64_t CloseLinesAtJunctions(IndexGrid& g) {
  if (std::find(g.lines.begin(), g.lines.end(), true) == g.lines.end()) return 0;
  const Pieces pieces(g);
  // The area pixels beside each thin line's colour.
  std::vector<std::vector<size_t>> beside(g.palette.size());
  for (size_t p = 0; p < g.index.size(); ++p)
    if (!IsLineColour(g, g.index[p]))
      EachAround(g, p, [&](size_t q) {
        std::vector<size_t>& along = beside[g.index[q]];
        if (IsLineColour(g, g.index[q]) && pieces.IsThin(q) && (along.empty() || along.back() != p)) along.push_back(p);
      }, 2);
  // The pixels to draw are gathered first: drawing one would join the pieces beside the next.
  std::vector<std::pair<size_t, uint8_t>> draw;
  std::vector<uint8_t> mark(g.index.size());
  for (const uint8_t ending : LineColours(g)) {
    for (size_t p : beside[ending]) mark[p] = 1;
    for (size_t p : beside[ending]) {
      if (mark[p] != 1) continue;
      const std::vector<size_t> stretch = StretchAlong(pieces, g, p, mark);
      const int cut = stretch.empty() ? -1 : LineCutAt(g, pieces, stretch, ending);
      if (cut >= 0)
        for (size_t q : stretch) draw.emplace_back(q, static_cast<uint8_t>(cut));
    }
    for (size_t p : beside[ending]) mark[p] = 0;
  }
  for (const auto& [p, colour] : draw) {
    g.index[p] = colour;
    if (!g.sure.empty()) g.sure[p] = kSureOfLine;
  }
  return static_cast<int64_t>(draw.size());
}

int64_t Sieve(IndexGrid& grid, int32_t minPixels, int connectivity, int32_t alikePixels, const Picture* picture) {
  if ((minPixels <= 1 && alikePixels <= 1) || grid.index.empty()) return 0;
  return Sieving(grid, minPixels, connectivity, alikePixels, picture).Run();
}

// Which colours of a palette the picture draws as thin lines (a border, a river): those seen
// more on the middles of its thin lines than on its flat areas. They are joined, bridged and
// kept through the sieve as the lines of colours it chose itself; a colour of areas stays one,
// though a narrow strip of it passes for a line. None found, any colour may be a line's, as
// before. Only the colours the picture shows count: a palette file may list many more than
// the map draws (a standard set of a hundred colours), and those it does not draw tell nothing
// of its lines. A picture showing more colours than a map draws (a photograph's) is taken as it
// is: the blends of every two of them would cost more than they tell.
constexpr size_t kMostLinePalette = 64;

// The palette's colours nearest to a peak's worth of the picture's flat or line pixels.
std::vector<size_t> ShownColours(const Histogram& h, const std::vector<Lab>& palette) {
  std::vector<double> weight(palette.size(), 0);
  for (const std::vector<Bin>* bins : {&h.flat, &h.line})
    for (const Bin& b : *bins) weight[static_cast<size_t>(Nearest(b.lab, palette))] += b.weight;
  std::vector<size_t> shown;
  for (size_t k = 0; k < palette.size(); ++k)
    if (weight[k] >= kLeastPeak) shown.push_back(k);
  return shown;
}

std::vector<bool> PaletteLineColours(const Picture& picture, Places& places, const std::vector<int32_t>& palette) {
  std::vector<Lab> lab;
  for (int32_t c : palette) lab.push_back(ToLab(c));
  const Histogram h = ColourBins(picture, places);
  const std::vector<size_t> shown = ShownColours(h, lab);
  if (shown.size() > kMostLinePalette) return {};
  Centres centres;
  for (size_t k : shown) {
    centres.lab.push_back(lab[k]);
    centres.from.push_back(From::Flat);
    centres.seed.push_back(-1);
  }
  const LineShares shares = LineWeights(h, centres);
  std::vector<bool> lines(palette.size());
  for (size_t i = 0; i < shown.size(); ++i) lines[shown[i]] = shares.onLines[i] > shares.onAreas[i];
  if (std::find(lines.begin(), lines.end(), true) == lines.end()) return {};
  return lines;
}

// Whether the picture shows the background colour: a pixel of it exactly, flat spots that the
// clean-up takes for its noise (a JPEG's paper a few steps off the white typed), or a share of
// the middles of lines near it (paper between areas seen only in gaps a pixel or two wide). A
// few such middles alone are the blends along a border (black beside blue passes through the
// navy typed). A picture without flat spots or lines (all noise) may show it anywhere.
bool ShowsBackground(const Picture& picture, Places& places, int32_t background) {
  std::vector<int32_t> row(static_cast<size_t>(picture.width));
  for (int32_t y = 0; y < picture.height; ++y) {
    picture.ReadRow(y, row.data());
    if (std::find(row.begin(), row.end(), background) != row.end()) return true;
  }
  const Lab wanted = ToLab(background);
  const std::vector<Place>& place = places.Get();
  int64_t seen = 0, nearFlat = 0, nearLine = 0;
  for (int32_t y = 0; y < picture.height; ++y) {
    picture.ReadRow(y, row.data());
    for (int32_t x = 0; x < picture.width; ++x) {
      const Place at = place[static_cast<size_t>(y) * picture.width + x];
      if (at == Place::Blend) continue;
      ++seen;
      // Most pixels lie far off in sRGB already: OKLab only for those that may be near.
      if (Step(row[x], background) > kNoiseApart || RgbDistance(row[x], background) > kNoiseApart ||
          Distance2(ToLab(row[x]), wanted) > kBackgroundNoise * kBackgroundNoise)
        continue;
      if (at >= Place::Flat && ++nearFlat >= kLeastPeak) return true;
      if (at < Place::Flat) ++nearLine;
    }
  }
  return seen == 0 || (nearLine >= kLeastPeak && static_cast<double>(nearLine) >= kBackgroundInGaps * static_cast<double>(seen));
}

// The grain a drawing, a blurred picture or a JPEG never has (their estimate stays below 0.5
// levels), and that leaves the colours found as they are.
constexpr double kLeastGrain = 2.0;

bool AllIn(const std::vector<int32_t>& colours, const std::vector<int32_t>& palette) {
  return std::all_of(colours.begin(), colours.end(), [&](int32_t c) {
    return std::find(palette.begin(), palette.end(), c) != palette.end();
  });
}

Picture CleanPicture(const Picture& source, const CleanupOptions& options, int32_t background, CleanupReport* report,
                     const std::function<void()>& stageDone, const std::function<void()>& stepDone) {
  if (source.footprint && !source.IsIndexed()) {
    Picture cleaned = CleanPicture(FilledOutside(source), options, background, report, stageDone, stepDone);
    if (stepDone) stepDone();
    return WithFootprintOf(cleaned, source, options.sieve, options.regions ? 4 : 8);
  }
  const auto done = [&] {
    if (stageDone) stageDone();
  };
  const auto step = [&] {
    if (stepDone) stepDone();
  };
  // Only colours chosen or given leave the background a place to draw blends to.
  const bool chosen = options.colours > 0 || !options.palette.empty();
  // A scan's or a photograph's grain: each pixel a shade of its own that the colours would be
  // chosen from and the blends settled by. Above a few levels it is averaged away first; at 7 a
  // map's 18 colours came out as 8, 60 levels apart merged, and a state was lost.
  const double grain = chosen && !source.IsIndexed() ? GrainOf(source) : 0;
  if (report) report->grain = grain >= kLeastGrain ? grain : 0;
  const Picture smoothed = grain >= kLeastGrain ? WithoutGrain(source, grain) : Picture();
  const Picture& picture = grain >= kLeastGrain ? smoothed : source;
  std::vector<int32_t> palette = options.palette;
  std::vector<bool> lines, fromLines;
  Places places(picture);
  const bool backgroundShown = background >= 0 && (!chosen || ShowsBackground(picture, places, background));
  if (report) report->backgroundUnseen = background >= 0 && !backgroundShown;
  const std::optional<int32_t> fixed = backgroundShown ? std::optional(background) : std::nullopt;
  if (palette.empty() && options.colours > 0)
    palette = RepresentativeColours(picture, places, options.colours, fixed, &lines, &fromLines);
  else if (!palette.empty() && fixed && std::find(palette.begin(), palette.end(), *fixed) == palette.end()) {
    // A full palette has no place left for the background, which would be snapped to a
    // palette colour and mapped with the rest.
    if (palette.size() >= kMaxCleanColours)
      throw Error(err::kInvalidCall, u"cleanup.CleanPicture",
                  Tr("cleanup", "パレットが 256 色で無効色がありません: 無効色のために 1 色あけてください"));
    palette.push_back(*fixed);
  }
  const std::optional<std::vector<int32_t>> own = OwnColours(picture);
  // A picture already in the colours asked for (no more of them than --colors, or all in the
  // palette) is a clean drawing, sieved as it is: settled as a blurred one, its one-pixel
  // borders passed for the blends of their sides and were given to them.
  const bool reduced = !palette.empty() && !(own && AllIn(*own, palette));
  if (reduced && !options.palette.empty()) lines = PaletteLineColours(picture, places, palette);
  if (palette.empty()) {
    if (!own)
      throw Error(err::kInvalidCall, u"cleanup.CleanPicture",
                  Tr("cleanup", "画像の色が 256 色を超えています: 小領域を除く前に色を減らしてください (--colors "
                                "または --palette)"));
    palette = *own;
  }
  if (report) report->colours = static_cast<int>(palette.size());
  done();
  // A picture sieved in its own colours has no blends to settle: it is sieved as it is.
  IndexGrid grid = SnapToPalette(picture, places, std::move(palette), std::move(lines), reduced);
  done();
  // Reduced colours hold shades of one another along borders: up to a few times the sieve's
  // size, a region goes to a neighbour of nearly its colour.
  const int32_t alike = reduced ? options.sieve * kAlikeTimes : 0;
  if (reduced) GiveIsletsBackTheirRims(grid, picture, options.sieve);
  step();
  // A line faded in stretches (white between pale areas, black beside a dark one) is bridged
  // before the sieve too: the sieve would take its pieces for the dashes of a faint line and
  // merge them, leaving too little of it to bridge after.
  if (reduced && options.sieve > 0) BridgeLineGaps(grid);
  step();
  Sieve(grid, options.sieve, 8, alike, &picture);
  step();
  if (reduced && options.sieve > 0) BridgeLineGaps(grid);
  if (reduced && options.sieve > 0) CloseLinesAtJunctions(grid);
  step();
  // Regions are traced 4-connected: a speck that survived by a corner would be one of them,
  // and so would each piece of a line whose pieces meet only at corners. In a clean drawing
  // those pieces are its own, and a region the sieve keeps whole (8-connected) stays whole.
  if (options.regions && reduced && options.sieve > 0) JoinLineCorners(grid, picture, options.sieve, true);
  step();
  if (options.regions && reduced) Sieve(grid, options.sieve, 4, alike, &picture);
  step();
  // Merging a speck beside a corner of a line can leave the line's pixels meeting there alone.
  if (options.regions && reduced && options.sieve > 0) JoinLineCorners(grid, picture, options.sieve);
  step();
  if (!fromLines.empty()) ShowLinesInTheirOwnColours(grid, picture, places, fromLines);
  done();
  return ToPicture(std::move(grid));
}

}  // namespace picmap
