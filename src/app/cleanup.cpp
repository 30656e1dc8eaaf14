#include "app/cleanup.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numeric>
#include <unordered_map>

#include "support/errors.h"
#include "support/text.h"

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

int Nearest(const Lab& p, const std::vector<Lab>& centres) {
  int best = 0;
  float bestD = Distance2(p, centres[0]);
  for (size_t k = 1; k < centres.size(); ++k) {
    const float d = Distance2(p, centres[k]);
    if (d < bestD) bestD = d, best = static_cast<int>(k);
  }
  return best;
}

// ---- Palette files -------------------------------------------------------------------------

[[noreturn]] void PaletteError(const std::u16string& path, const std::u16string& why) {
  throw Error(err::kInvalidCall, u"cleanup.ReadPaletteFile", path + u": " + why);
}

std::optional<int32_t> HexColour(const QString& text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  bool ok = false;
  const uint32_t rgb = text.mid(1).toUInt(&ok, 16);
  if (!ok) return std::nullopt;
  return static_cast<int32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
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

// ---- Steady pixels -------------------------------------------------------------------------

// No channel changes by more than this between a pixel's two neighbours across or along.
constexpr int kSteadyStep = 24;

int Step(int32_t a, int32_t b) {
  int most = 0;
  for (int s = 0; s < 24; s += 8) most = std::max(most, std::abs(((a >> s) & 0xFF) - ((b >> s) & 0xFF)));
  return most;
}

// Pixels where the picture does not change much: inside a flat area, or on the middle of a
// thin line (its two sides alike). The blends along a border between two colours change
// steadily and are not steady; they are what a real picture adds to a flat map.
std::vector<bool> SteadyPixels(const Picture& picture) {
  const int32_t w = picture.width, h = picture.height;
  std::vector<bool> steady(static_cast<size_t>(w) * h);
  std::vector<int32_t> rows[3];
  for (auto& r : rows) r.resize(static_cast<size_t>(w));
  picture.ReadRow(0, rows[1].data());
  if (h > 1) picture.ReadRow(1, rows[2].data());
  for (int32_t y = 0; y < h; ++y) {
    const std::vector<int32_t>& up = y > 0 ? rows[0] : rows[1];
    const std::vector<int32_t>& row = rows[1];
    const std::vector<int32_t>& down = y + 1 < h ? rows[2] : rows[1];
    for (int32_t x = 0; x < w; ++x) {
      const int32_t left = row[x > 0 ? x - 1 : x], right = row[x + 1 < w ? x + 1 : x];
      steady[static_cast<size_t>(y) * w + x] =
          Step(left, right) <= kSteadyStep && Step(up[x], down[x]) <= kSteadyStep;
    }
    std::swap(rows[0], rows[1]);
    std::swap(rows[1], rows[2]);
    if (y + 2 < h) picture.ReadRow(y + 2, rows[2].data());
  }
  return steady;
}

// ---- Histogram -----------------------------------------------------------------------------

// Colours in bins of 5 bits a channel: the mean colour and pixel count of each bin in use.
struct Bin {
  Lab lab;
  double weight = 0;
};

// Steady pixels only (all, when none is): blends would draw colours of their own.
std::vector<Bin> ColourBins(const Picture& picture) {
  struct Sum {
    double r = 0, g = 0, b = 0, n = 0;
  };
  std::vector<Sum> sums(1 << 15);
  std::vector<int32_t> row(static_cast<size_t>(picture.width));
  std::vector<bool> steady = SteadyPixels(picture);
  if (std::find(steady.begin(), steady.end(), true) == steady.end()) steady.flip();
  for (int32_t y = 0; y < picture.height; ++y) {
    picture.ReadRow(y, row.data());
    for (int32_t x = 0; x < picture.width; ++x) {
      if (!steady[static_cast<size_t>(y) * picture.width + x]) continue;
      const int32_t c = row[x];
      Sum& s = sums[((c >> 3) & 0x1F) | ((c >> 6) & 0x3E0) | ((c >> 9) & 0x7C00)];
      s.r += c & 0xFF, s.g += (c >> 8) & 0xFF, s.b += (c >> 16) & 0xFF, s.n += 1;
    }
  }
  std::vector<Bin> bins;
  for (const Sum& s : sums) {
    if (s.n == 0) continue;
    const auto channel = [&](double v) { return static_cast<int32_t>(std::lround(v / s.n)); };
    bins.push_back({ToLab(channel(s.r) | channel(s.g) << 8 | channel(s.b) << 16), s.n});
  }
  return bins;
}

// Farthest-point seeding weighted by pixel count (k-means++ without chance), after `given`.
std::vector<Lab> Seeds(const std::vector<Bin>& bins, size_t count, const std::vector<Lab>& given) {
  std::vector<Lab> centres = given;
  if (centres.empty()) {
    centres.push_back(std::max_element(bins.begin(), bins.end(), [](const Bin& a, const Bin& b) {
                        return a.weight < b.weight;
                      })->lab);
  }
  std::vector<float> nearest(bins.size(), std::numeric_limits<float>::max());
  for (size_t i = 0; i < bins.size(); ++i)
    for (const Lab& c : centres) nearest[i] = std::min(nearest[i], Distance2(bins[i].lab, c));
  while (centres.size() < count) {
    double bestScore = 0;
    size_t best = 0;
    for (size_t i = 0; i < bins.size(); ++i) {
      const double score = bins[i].weight * nearest[i];
      if (score > bestScore) bestScore = score, best = i;
    }
    if (bestScore <= 0) break;  // fewer colours in the picture than asked for
    centres.push_back(bins[best].lab);
    for (size_t i = 0; i < bins.size(); ++i)
      nearest[i] = std::min(nearest[i], Distance2(bins[i].lab, centres.back()));
  }
  return centres;
}

// Centres closer than this (in OKLab) are one colour seen twice: a noisy colour (the dark
// lines of a JPEG) draws several centres that a rarer colour of the map then lacks.
constexpr float kSameColour = 0.04f;

// Drops the later of every two centres closer than kSameColour; false when none was.
bool DropTwins(std::vector<Lab>& centres, size_t fixedCount) {
  const size_t before = centres.size();
  for (size_t k = fixedCount; k < centres.size();) {
    bool twin = false;
    for (size_t j = 0; j < k && !twin; ++j)
      twin = Distance2(centres[j], centres[k]) < kSameColour * kSameColour;
    if (twin) centres.erase(centres.begin() + static_cast<ptrdiff_t>(k));
    else ++k;
  }
  return centres.size() < before;
}

// Lloyd's iterations; the first `fixedCount` centres do not move.
void KMeans(const std::vector<Bin>& bins, std::vector<Lab>& centres, size_t fixedCount) {
  std::vector<int> owner(bins.size(), -1);
  for (int round = 0; round < 30; ++round) {
    bool moved = false;
    for (size_t i = 0; i < bins.size(); ++i) {
      const int k = Nearest(bins[i].lab, centres);
      moved |= k != owner[i];
      owner[i] = k;
    }
    if (!moved) return;
    std::vector<Lab> sum(centres.size());
    std::vector<double> weight(centres.size());
    for (size_t i = 0; i < bins.size(); ++i) {
      Lab& s = sum[owner[i]];
      const double w = bins[i].weight;
      s.l += static_cast<float>(w * bins[i].lab.l), s.a += static_cast<float>(w * bins[i].lab.a);
      s.b += static_cast<float>(w * bins[i].lab.b), weight[owner[i]] += w;
    }
    for (size_t k = fixedCount; k < centres.size(); ++k) {
      if (weight[k] <= 0) continue;
      const auto w = static_cast<float>(weight[k]);
      centres[k] = {sum[k].l / w, sum[k].a / w, sum[k].b / w};
    }
  }
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

// The regions a sieve merges, merged one by one.
class Sieving {
 public:
  Sieving(IndexGrid& grid, int32_t minPixels, int connectivity) : g_(grid), min_(minPixels) {
    count_ = LabelRegions(g_, connectivity, label_);
    size_.assign(count_, 0);
    for (int32_t r : label_) ++size_[r];
    owner_.resize(count_);
    std::iota(owner_.begin(), owner_.end(), 0);
    colour_.resize(count_);
    for (size_t p = 0; p < label_.size(); ++p) colour_[label_[p]] = g_.index[p];
    GroupPixels();
  }

  int64_t Run() {
    std::vector<int32_t> small;
    for (int32_t r = 0; r < count_; ++r)
      if (size_[r] < min_) small.push_back(r);
    std::stable_sort(small.begin(), small.end(),
                     [&](int32_t a, int32_t b) { return size_[a] < size_[b]; });
    int64_t merged = 0;
    for (int32_t r : small)
      if (owner_[r] == r && size_[r] < min_ && MergeIntoNeighbour(r)) ++merged;
    for (size_t p = 0; p < label_.size(); ++p) g_.index[p] = colour_[Find(owner_, label_[p])];
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

  bool MergeIntoNeighbour(int32_t r) {
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
    int32_t best = -1;
    for (const auto& [o, n] : border)
      if (best < 0 || n > border[best] || (n == border[best] && o < best)) best = o;
    if (best < 0) return false;  // the region is the whole picture
    owner_[r] = best;
    size_[best] += size_[r];
    auto& into = absorbed_[best];
    into.push_back(r);
    if (auto it = absorbed_.find(r); it != absorbed_.end()) {
      into.insert(into.end(), it->second.begin(), it->second.end());
      absorbed_.erase(it);
    }
    return true;
  }

  std::vector<int32_t> Members(int32_t r) const {
    std::vector<int32_t> m{r};
    if (auto it = absorbed_.find(r); it != absorbed_.end()) m.insert(m.end(), it->second.begin(), it->second.end());
    return m;
  }

  IndexGrid& g_;
  int32_t min_;
  int32_t count_ = 0;
  std::vector<int32_t> label_, size_, owner_, pixels_;
  std::vector<int64_t> first_;
  std::vector<uint8_t> colour_;
  std::unordered_map<int32_t, std::vector<int32_t>> absorbed_;
};

// The picture's own colours as a palette, when it has few enough of them.
std::optional<std::vector<int32_t>> OwnColours(const Picture& picture) {
  std::vector<bool> seen(1 << 24);
  std::vector<int32_t> colours, row(static_cast<size_t>(picture.width));
  for (int32_t y = 0; y < picture.height; ++y) {
    picture.ReadRow(y, row.data());
    for (int32_t c : row) {
      if (seen[c]) continue;
      if (colours.size() == kMaxCleanColours) return std::nullopt;
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

// Outside a warped picture's footprint there is nothing to clean: each such pixel takes the
// colour of the nearest pixel inside on its row (a row wholly outside, that of the nearest row
// with one), so it brings no colour of its own and splits no region.
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
      const int32_t from = l < 0 ? next : next < 0 || x - l <= next - x ? l : next;
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
    if (from >= 0) std::copy_n(buffer->data() + size_t(from) * w, w, buffer->data() + size_t(y) * w);
  }
  return Picture::Direct(w, h, reinterpret_cast<const uint8_t*>(buffer->data()), ptrdiff_t{w} * 4, buffer);
}

// The cleaned colours inside the source's footprint, nothing outside it.
Picture WithFootprintOf(const Picture& cleaned, const Picture& source) {
  const int32_t w = cleaned.width, h = cleaned.height;
  auto buffer = std::make_shared<std::vector<uint32_t>>(size_t(w) * size_t(h), 0u);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (source.Inside(x, y))
        (*buffer)[size_t(y) * w + x] = static_cast<uint32_t>(cleaned.At(x, y)) | 0xFF000000u;
  Picture p = Picture::Direct(w, h, reinterpret_cast<const uint8_t*>(buffer->data()), ptrdiff_t{w} * 4, buffer);
  p.footprint = true;
  return p;
}

}  // namespace

std::vector<int32_t> ReadPaletteFile(const std::u16string& path) {
  QFile file(QString::fromStdU16String(path));
  if (!file.open(QIODevice::ReadOnly)) PaletteError(path, u"cannot be read");
  std::vector<int32_t> colours;
  const bool gimp = file.peek(12).startsWith("GIMP Palette");
  int lineNumber = 0;
  while (!file.atEnd()) {
    ++lineNumber;
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.isEmpty() || (gimp && (lineNumber == 1 || line.contains(':')))) continue;
    if (line.startsWith('#') && (gimp || line.size() != 7)) continue;  // a comment
    const std::optional<int32_t> c = gimp ? GimpColour(line) : HexColour(line);
    if (!c) PaletteError(path, u"line " + FromUtf8(std::to_string(lineNumber)) +
                                   u" is not a colour (#RRGGBB, or R G B in a GIMP palette)");
    colours.push_back(*c);
  }
  if (colours.empty()) PaletteError(path, u"holds no colour");
  if (colours.size() > kMaxCleanColours) PaletteError(path, u"holds more than 256 colours");
  return colours;
}

std::vector<int32_t> RepresentativeColours(const Picture& picture, int count,
                                           std::optional<int32_t> fixed) {
  const std::vector<Bin> bins = ColourBins(picture);
  std::vector<Lab> fixedLab;
  if (fixed) fixedLab.push_back(ToLab(*fixed));
  const size_t wanted = static_cast<size_t>(std::max(count, 1));
  std::vector<Lab> centres = Seeds(bins, wanted, fixedLab);
  KMeans(bins, centres, fixedLab.size());
  // Twins give their place to the colours farthest from every centre, a few times over.
  for (int round = 0; round < 4 && DropTwins(centres, fixedLab.size()); ++round) {
    centres = Seeds(bins, wanted, centres);
    KMeans(bins, centres, fixedLab.size());
  }
  std::vector<int32_t> colours;
  for (size_t k = 0; k < centres.size(); ++k)
    colours.push_back(k < fixedLab.size() ? *fixed : FromLab(centres[k]));
  return colours;
}

namespace {

// A pixel is inside a patch of its colour when the square this far round it is of that colour.
constexpr int32_t kFlatRadius = 2;
// How far from a pixel the patches lie whose colours it may be a blend of.
constexpr int32_t kBlendRadius = 4;
// How much worse (in sRGB steps) a mix of the patches around may explain a pixel than a
// colour without a patch nearby, and still be taken: a blend of red and yellow is close to
// orange too, yet an orange strip along their border is no region of the map.
constexpr double kForeignMargin = 32;

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

// What each pixel is to the blends around it.
enum class Kind : uint8_t { Edge, Line, Patch };

// Patch: inside a square of its palette colour. Line: not, but of the colour of both its
// neighbours across or along (the middle of a thin line, or of a strip of blends).
std::vector<Kind> PixelKinds(const IndexGrid& g) {
  const int32_t w = g.width, h = g.height;
  std::vector<Kind> kind(g.index.size(), Kind::Edge);
  const auto at = [&](int32_t x, int32_t y) { return g.index[static_cast<size_t>(y) * w + x]; };
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t v = at(x, y);
      bool same = true;
      for (int32_t dy = -kFlatRadius; dy <= kFlatRadius && same; ++dy)
        for (int32_t dx = -kFlatRadius; dx <= kFlatRadius && same; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          same = nx < 0 || ny < 0 || nx >= w || ny >= h || at(nx, ny) == v;
        }
      const bool across = x > 0 && x + 1 < w && at(x - 1, y) == v && at(x + 1, y) == v;
      const bool along = y > 0 && y + 1 < h && at(x, y - 1) == v && at(x, y + 1) == v;
      kind[static_cast<size_t>(y) * w + x] = same ? Kind::Patch : across || along ? Kind::Line : Kind::Edge;
    }
  return kind;
}

// Edge pixels of a real picture are blends of the colours on either side (scanning, scaling,
// blurring and anti-aliasing all mix neighbouring pixels), and a blend can lie nearer to a
// third palette colour than to either, which would draw a thin strip of that colour along the
// border. A pixel outside the patches of its colour that is better explained as a mix of the
// colours of the patches and lines around it takes the one of the two it is nearer to; a
// thin line of a colour that is no such mix keeps it (a border line between two regions).
void SettleEdges(IndexGrid& g, const Picture& picture) {
  const int32_t w = g.width, h = g.height;
  const std::vector<Kind> kind = PixelKinds(g);
  std::vector<uint8_t> settled = g.index;
  std::vector<uint8_t> around;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t p = static_cast<size_t>(y) * w + x;
      if (kind[p] == Kind::Patch) continue;
      const uint8_t mine = g.index[p];
      around.clear();
      bool patchNearby = false;
      for (int32_t ny = std::max(0, y - kBlendRadius); ny <= std::min(h - 1, y + kBlendRadius); ++ny)
        for (int32_t nx = std::max(0, x - kBlendRadius); nx <= std::min(w - 1, x + kBlendRadius); ++nx) {
          const size_t q = static_cast<size_t>(ny) * w + nx;
          const uint8_t v = g.index[q];
          if (v == mine) {
            patchNearby |= kind[q] == Kind::Patch;
          } else if (kind[q] != Kind::Edge && std::find(around.begin(), around.end(), v) == around.end()) {
            around.push_back(v);
          }
        }
      if (around.empty()) continue;
      if (patchNearby) around.push_back(mine);
      const int32_t own = picture.At(x, y);
      // A colour with no patch nearby is taken only when no mix comes close.
      double best = RgbDistance(own, g.palette[mine]) + (patchNearby ? 0 : kForeignMargin);
      for (size_t i = 0; i < around.size(); ++i)
        for (size_t j = i; j < around.size(); ++j) {
          const auto [r, nearerB] = MixResidual(own, g.palette[around[i]], g.palette[around[j]]);
          if (r < best) best = r, settled[p] = nearerB ? around[j] : around[i];
        }
    }
  g.index = std::move(settled);
}

}  // namespace

IndexGrid SnapToPalette(const Picture& picture, std::vector<int32_t> palette) {
  IndexGrid g;
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
  SettleEdges(g, picture);
  return g;
}

int64_t Sieve(IndexGrid& grid, int32_t minPixels, int connectivity) {
  if (minPixels <= 1 || grid.index.empty()) return 0;
  return Sieving(grid, minPixels, connectivity).Run();
}

Picture CleanPicture(const Picture& source, const CleanupOptions& options, int32_t background) {
  if (source.footprint && !source.IsIndexed())
    return WithFootprintOf(CleanPicture(FilledOutside(source), options, background), source);
  const Picture& picture = source;
  std::vector<int32_t> palette = options.palette;
  const std::optional<int32_t> fixed = background >= 0 ? std::optional(background) : std::nullopt;
  if (palette.empty() && options.colours > 0)
    palette = RepresentativeColours(picture, options.colours, fixed);
  else if (!palette.empty() && fixed && std::find(palette.begin(), palette.end(), *fixed) == palette.end() &&
           palette.size() < kMaxCleanColours)
    palette.push_back(*fixed);
  if (palette.empty()) {
    std::optional<std::vector<int32_t>> own = OwnColours(picture);
    if (!own)
      throw Error(err::kInvalidCall, u"cleanup.CleanPicture",
                  u"the picture holds more than 256 colours: reduce them (--colors or "
                  u"--palette) before removing small regions");
    palette = std::move(*own);
  }
  IndexGrid grid = SnapToPalette(picture, std::move(palette));
  Sieve(grid, options.sieve, 8);
  // Regions are traced 4-connected: a speck that survived by a corner would be one of them.
  if (options.regions) Sieve(grid, options.sieve, 4);
  return ToPicture(std::move(grid));
}

}  // namespace picmap
