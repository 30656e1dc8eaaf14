// Polygon generation: every horizontal run of equal pixels in a picture row, at most 45
// pixels long, becomes one rectangle in arc-seconds carrying the run's colour.
#include <algorithm>
#include <bit>
#include <cstring>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

#include "app/frm_main.h"
#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapRem.h"
#include "map/converter_header.h"
#include "support/colorlib.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap {

namespace {

constexpr int32_t kFullSpan = 1296000;
constexpr int32_t kRunLimit = 45;      // a run never crosses a multiple of 45 columns
constexpr int32_t kPoleLimit = 323985;  // rectangles stop 15″ short of the poles
constexpr int32_t kEdgeLimit = 647999;  // and 1″ short of the 180° meridian

int32_t ToneMask(int16_t toneIndex) {
  switch (toneIndex) {
    case 1: return 0x010101;
    case 2: return 0x030303;
    case 3: return 0x070707;
    case 4: return 0x0F0F0F;
    default: return 0;
  }
}

// Arc-seconds with a tenth, as a refused pixel size is mostly a fraction of the 10″ it lacks.
std::u16string PixelSizeText(double sec) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, sec, std::chars_format::fixed, 1).ptr;
  return FromUtf8(std::string(text, end)) + u"″";
}

}  // namespace

// The run values of one row: values[x], or table[index[x]] for a palette picture.
struct RunRow {
  const int32_t* values;
  const uint8_t* index;
  const int32_t* table;
  int32_t operator[](int32_t x) const { return index ? table[index[x]] : values[x]; }
  // The first x from `from` below `limit` whose value is not `v`.
  int32_t SameUpTo(int32_t from, int32_t limit, int32_t v) const {
    if (!index) {
      while (from < limit && values[from] == v) ++from;
      return from;
    }
    while (from < limit && table[index[from]] == v) from = SameIndexUpTo(from, limit);
    return from;
  }
  // The first x from `from` below `limit` whose index differs from index[from], eight
  // indexes at a time: a flat picture's runs are long.
  int32_t SameIndexUpTo(int32_t from, int32_t limit) const {
    const uint64_t pattern = 0x0101010101010101ull * index[from];
    for (; from + 8 <= limit; from += 8) {
      uint64_t word;
      std::memcpy(&word, index + from, sizeof word);
      if (const uint64_t diff = word ^ pattern) return from + std::countr_zero(diff) / 8;
    }
    while (from < limit && index[from] == static_cast<uint8_t>(pattern)) ++from;
    return from;
  }
};

namespace {

// The value a pixel has for the runs: -1 for the background colour (tested before the tone
// reduction), otherwise the colour with the tone mask. A palette picture maps its indexes
// through a table made once.
class RunValues {
 public:
  RunValues(const Picture& pic, int32_t background, int32_t mask)
      : pic_(pic), background_(background), mask_(mask) {
    if (const Picture::Palette* palette = pic.ColourTable())
      for (size_t k = 0; k < table_.size(); ++k) table_[k] = Of((*palette)[k]);
  }
  // Row y: a palette picture's indexes are read through the table where they are; the colours
  // of any other picture are turned into values in `buffer`.
  RunRow Read(int32_t y, int32_t* buffer) const {
    if (pic_.IsIndexed()) return RunRow{nullptr, pic_.Bits() + y * pic_.Stride(), table_.data()};
    pic_.ReadRow(y, buffer);
    for (int32_t x = 0; x < pic_.width; ++x) buffer[x] = Of(buffer[x]);
    if (pic_.footprint) MarkOutside(y, buffer);
    return RunRow{buffer, nullptr, nullptr};
  }

 private:
  int32_t Of(int32_t c) const { return c == background_ ? -1 : (c | mask_); }
  // Outside the footprint there is no picture to map, whatever colour the buffer holds.
  void MarkOutside(int32_t y, int32_t* buffer) const {
    const uint8_t* x_bytes = pic_.Bits() + y * pic_.Stride() + 3;
    for (int32_t x = 0; x < pic_.width; ++x)
      if (x_bytes[4 * x] == 0) buffer[x] = -1;
  }

  const Picture& pic_;
  int32_t background_, mask_;
  Picture::Palette table_{};
};

}  // namespace


// What every rectangle of one row shares.
struct frmMainLogic::RowGeometry {
  int32_t top = 0, bottom = 0;
  int32_t west = 0, eastWrapped = 0, width = 0;
  double pw = 0;
  int64_t seconds = 0;  // the job's one reading of the clock, for the figure identifiers
};

void frmMainLogic::mnuPolygon_Click() {
  window_.SetMenuEnabled(Menu::mnuPolygon, false);
  window_.SetMenuEnabled(Menu::mnuCancel, true);
  state_.cancelRequest = false;
  ScreenMousePointer(pointer::kHourglass);
  const std::u16string caption = window_.Caption();
  window_.SetCaption(caption + Tr("frmMain", "   [ポリゴン生成中...]"));
  bool ok = false;
  alongside_.reset();
  try {
    state_.oMap->Clear();
    ok = MakePolygons();
  } catch (...) {
    ok = false;  // an error inside the run is a failed run; the menus must come back
  }
  if (!ok) alongside_.reset();
  window_.SetCaption(caption);
  ScreenMousePointer(-1);
  FinishGeneration(ok);
}

bool frmMainLogic::FinishGeneration(bool ok) {
  if (ok) {
    mapUnsaved_ = true;
    generatedOn_ = CurrentPlacement();
    // The background was no colour of the clean-up: the map holds what the user asked to leave out.
    if (BackgroundUnseen())
      window_.Message(Arg(Tr("frmMain", "背景色 %1 の部分が画像にありません. どの画素も地図に入りました."),
                          {HtmlColorStr(state_.backColor)}),
                      false);
    window_.Message(cleanup_.regions ? frmtext::kRegionsDone : frmtext::kPolygonDone, false);
    window_.SetMenuEnabled(Menu::mnuCompress, !cleanup_.regions);  // regions are no rectangles
    window_.SetMenuEnabled(Menu::mnuSave, true);
  } else {
    if (state_.cancelRequest)
      window_.Message(frmtext::kPolygonCancelled, true);
    else
      window_.MessageWithDetail(frmtext::kPolygonFailed, refusal_, true);
    // A generation that stopped took the map it was replacing with it: there is nothing left
    // to save, compress or show.
    if (!state_.oMap || state_.oMap->Count() == 0) {
      window_.SetMenuEnabled(Menu::mnuCompress, false);
      window_.SetMenuEnabled(Menu::mnuSave, false);
    }
  }
  window_.SetMenuEnabled(Menu::mnuCancel, false);
  window_.SetMenuEnabled(Menu::mnuPolygon, true);
  ShowStatus();
  return ok;
}

bool frmMainLogic::MakePolygons() {
  ConversionState& s = state_;
  refusal_.clear();
  if (!IsThingNumber(s.imagePolygonThing)) return false;
  const Picture& pic = window_.SourcePicture();
  const int32_t W = pic.width, H = pic.height;
  if (W < 16 || H < 16) {
    refusal_ = TooSmallText(W, H);
    return false;
  }
  RowGeometry row;
  row.west = s.west;
  row.width = W;
  row.eastWrapped = s.east > s.west ? s.east : AddL(s.east, kFullSpan);
  if (s.north < s.south) std::swap(s.north, s.south);
  const int32_t lonSpan = SubL(row.eastWrapped, s.west);
  const int32_t latSpan = SubL(s.north, s.south);
  if (lonSpan < 30 || latSpan < 30) {
    refusal_ = Arg(Tr("frmMain", "地図化領域が狭すぎます: %1x%2 (経度・緯度とも30″以上が必要です)."),
                   {SpanText(lonSpan), SpanText(latSpan)});
    return false;
  }
  row.pw = static_cast<double>(lonSpan) / W;
  const double ph = static_cast<double>(latSpan) / H;
  if (row.pw < 10 || ph < 10) {  // no finer than 10″ per pixel
    refusal_ = Arg(Tr("frmMain", "ピクセルサイズが細かすぎます: %1x%2 (経度・緯度とも10″以上が必要です)."),
                   {PixelSizeText(row.pw), PixelSizeText(ph)});
    return false;
  }
  // A palette's colours are the ones the user wants on the map: kept exactly, not toned.
  const int32_t mask = cleanup_.palette.empty() ? ToneMask(s.toneIndex) : 0;
  Picture cleaned;
  const Picture& source = CleanedPicture(pic, cleaned);
  if (cleanup_.regions) return MakeRegions(source, row.eastWrapped, row.pw, ph, mask);

  if (!s.oMap) AttachMap(std::make_shared<clsMap>());
  s.oMap->MapMode(1);
  AddHeaderRemarks();
  StartCompressionAlongside();
  window_.SetProgressMax(H);
  row.seconds = ToEpochSeconds(Now());
  const RunValues values(source, s.backColor, mask);
  std::vector<int32_t> line(static_cast<size_t>(W));
  for (int32_t i = 0; i < H; ++i) {
    window_.SetProgressValue(i);
    const RunRow v = values.Read(i, line.data());
    const int32_t top = SubL(s.north, CLng((i + 0.03) * ph));
    row.bottom = std::max(SubL(top, CLng(ph * 1.06)), -kPoleLimit);
    row.top = std::min(top, kPoleLimit);
    if (!ScanRow(v, row)) return false;
    RowsGenerated();
  }
  window_.SetProgressValue(0);
  AddRemarks(*s.oMap, ConverterClosingLines());
  GenerationEnded();
  return true;
}

// Walks the row's values (the row end reads as -1) and emits every run. Only the pixels where
// something happens are visited: run boundaries, the multiples of 45 and the row end. The
// pixels passed over count as requests for events, and the cancel request, which only events
// can set, is read whenever events may have run; run at every request, events stop at every
// pixel.
bool frmMainLogic::ScanRow(const RunRow& v, const RowGeometry& row) {
  struct Cleared {
    std::vector<MapRectangle>& made;
    ~Cleared() { made.clear(); }
  } cleared{rowRectangles_};
  bool done = false;
  try {
    done = ScanRuns(v, row);
  } catch (...) {  // what the row made before the error stays, as when added one by one
    state_.oMap->AddRectangles(rowRectangles_);
    throw;
  }
  state_.oMap->AddRectangles(rowRectangles_);
  return done;
}

// The runs of the row into rowRectangles_; false when cancelled.
bool frmMainLogic::ScanRuns(const RunRow& v, const RowGeometry& row) {
  const int32_t W = row.width;
  const bool everyPixel = eventInterval_.count() <= 0;
  int32_t run = -1, start = 0;
  for (int32_t j = 0, asked = 0; j <= W;) {
    if (state_.cancelRequest) return false;
    RequestEvents(static_cast<uint32_t>(j + 1 - asked));
    asked = j + 1;
    const int32_t vj = j < W ? v[j] : -1;
    if (j == 0) {
      run = vj;
    } else if (j % kRunLimit == 0 || vj != run || j == W) {
      EmitRun(start, j, run, row);
      run = vj;
      start = j;
    }
    int32_t next = j + 1;
    if (!everyPixel) {
      next = v.SameUpTo(next, std::min(W, (j / kRunLimit + 1) * kRunLimit), run);
    }
    j = next;
  }
  return true;
}

void frmMainLogic::AddHeaderRemarks() {
  const std::u16string base = MapBaseName(state_.oMap->FileName());
  AddRemarks(*state_.oMap, ConverterHeaderLines(base, 1 << (8 - state_.toneIndex), Now()));
}

// Emits the run of columns s .. j-1. Neighbouring rectangles overlap slightly (the 0.03
// offsets and the +1) so that no gap shows between them in a viewer.
void frmMainLogic::EmitRun(int32_t s, int32_t j, int32_t colour, const RowGeometry& row) {
  int32_t left = AddL(CLng((s - 0.03) * row.pw), row.west);
  int32_t right = j < row.width ? AddL(CLng((j + 0.03) * row.pw + 1), row.west) : row.eastWrapped;
  if (colour == -1) return;  // background runs and the row end are measured, never added
  auto inRange = [](int32_t v) { return v > 648000 ? v - kFullSpan : v; };
  auto clampLeft = [](int32_t v) { return v <= -648000 ? -kEdgeLimit : v; };
  auto clampRight = [](int32_t v) { return v >= 648000 ? kEdgeLimit : v; };
  if (left < 648000 && right > 648000) {  // the run crosses the 180° meridian
    AddRectangle(clampLeft(inRange(left)), clampRight(kEdgeLimit), colour, row);
    AddRectangle(clampLeft(inRange(648001)), clampRight(inRange(right)), colour, row);
    return;
  }
  // A run starting exactly on 180° lies wholly beyond it, like one starting east of it.
  if (left >= 648000 && right > 648000) left -= kFullSpan;
  AddRectangle(clampLeft(inRange(left)), clampRight(inRange(right)), colour, row);
}

void frmMainLogic::AddRectangle(int32_t left, int32_t right, int32_t colour,
                                const RowGeometry& row) {
  MapRectangle r;
  r.figId = NewFigureIdAt(row.seconds);
  r.left = left;
  r.top = row.top;
  r.right = right;
  r.bottom = row.bottom;
  r.colour = colour;
  r.thing = state_.imagePolygonThing;
  rowRectangles_.push_back(r);
}

}  // namespace picmap
