// Two-dimensional compression: a rectangle absorbs the rectangles directly below it that have
// exactly its left and right edges and its colour, by moving its bottom edge down.
//
// The scan relies on the generation order (rows from the top, each row from left to right).
// Consecutive rectangles of one row (equal top and bottom) form a band: every test of the
// scan that depends only on top and bottom gives the same answer for a whole band, and inside
// a band ordered by left edge the first candidate is found by binary search. The result is the
// same as testing every rectangle in turn, only without walking the rest of each row again for
// every rectangle.
//
// A generated map keeps its rectangles as records of the document, which the scan changes in
// place; a map holding polygon figures of its own is read into flat arrays first.
#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/frm_main.h"
#include "geometry/clsPoly.h"
#include "map/clsMap.h"
#include "map/clsMapFigure.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap {

namespace {

constexpr int16_t kOpen = -1;      // polygon still open for merging
constexpr int16_t kAbsorbed = 0;   // merged into the rectangle above it
constexpr int16_t kNotPolygon = 1;  // left unchanged
constexpr int32_t kMergeLimit = 45;
constexpr size_t kAhead = 16;  // rows asked for ahead of a long stack's step

// Asks the memory for a record the scan will soon read: a stack of rectangles lies a row
// apart in the arena, so every step down would otherwise wait for the memory.
// (GCC drops __builtin_prefetch of an address it loads from memory, hence the instruction.)
inline void AskForRecord(const MapRectangle* r) {
#if defined(__x86_64__)
  asm volatile("prefetcht0 %0" : : "m"(*r));
#else
  __builtin_prefetch(r);
#endif
}

// The figures of a map with polygon objects, read once into arrays indexed 1..n like the map.
struct FigureArrays {
  std::vector<std::shared_ptr<clsMapFigure>> fig;
  std::vector<int16_t> marks;
  std::vector<int32_t> lefts, rights, tops, bottoms, colours;

  explicit FigureArrays(clsMap& map) {
    const int32_t n = map.Count();
    const auto size = static_cast<size_t>(n) + 1;
    fig.resize(size);
    marks.assign(size, kNotPolygon);
    for (auto* v : {&lefts, &rights, &tops, &bottoms, &colours}) v->resize(size);
    for (int32_t i = 1; i <= n; ++i) {
      std::shared_ptr<clsMapFigure> f = map.Item(i);
      fig[i] = f;
      if (f->FigCode() != figcode::kPolygon) {
        f->OwnShowMode(kNotPolygon);
        continue;
      }
      f->OwnShowMode(kOpen);
      marks[i] = kOpen;
      const clsPoly& q = *f->Poly();
      lefts[i] = q.x(1);
      rights[i] = q.x(2);
      tops[i] = q.y(1);
      bottoms[i] = q.y(3);
      colours[i] = f->OwnColor();
    }
  }
  int16_t mark(int32_t i) const { return marks[i]; }
  int32_t left(int32_t i) const { return lefts[i]; }
  int32_t right(int32_t i) const { return rights[i]; }
  int32_t top(int32_t i) const { return tops[i]; }
  int32_t bottom(int32_t i) const { return bottoms[i]; }
  int32_t colour(int32_t i) const { return colours[i]; }
  void Prefetch(int32_t) const {}
  // d's bottom moves down to j's; j is absorbed.
  void Absorb(int32_t d, int32_t j) {
    clsPoly& p = *fig[d]->Poly();
    p.y(3, bottoms[j]);
    p.y(4, bottoms[j]);
    marks[j] = kAbsorbed;
    fig[j]->OwnShowMode(kAbsorbed);
  }
};

// The edges and colour of figure i for a view whose at(i) is the figure's record.
template <class View>
struct RecordEdges {
  int32_t left(int32_t i) const { return Records().at(i).left; }
  int32_t right(int32_t i) const { return Records().at(i).right; }
  int32_t top(int32_t i) const { return Records().at(i).top; }
  int32_t bottom(int32_t i) const { return Records().at(i).bottom; }
  int32_t colour(int32_t i) const { return Records().at(i).colour; }
  const View& Records() const { return static_cast<const View&>(*this); }
};

// The rectangle records of a generated map, changed in place; the other figures are remarks.
struct MapRecords : RecordEdges<MapRecords> {
  clsMap& map;
  // When the records stand in map order without gaps (positions first .. first + count - 1),
  // they are read straight from the arena.
  RectangleArena* arena = nullptr;
  int32_t first = 0, end = 0;

  explicit MapRecords(clsMap& m) : map(m) {
    for (int32_t i = 1; i <= map.Count(); ++i) {
      if (MapRectangle* r = map.RectangleAt(i)) {
        r->showMode = kOpen;
        r->modified = true;
      } else {
        map.Item(i)->OwnShowMode(kNotPolygon);
      }
    }
    int32_t count = 0;
    arena = map.OrderedRectangles(first, count);
    end = first + count;
  }
  MapRectangle* record(int32_t i) const {
    if (!arena) return map.RectangleAt(i);
    return i >= first && i < end ? &(*arena)[static_cast<size_t>(i - first)] : nullptr;
  }
  const MapRectangle& at(int32_t i) const { return *record(i); }
  int16_t mark(int32_t i) const {
    const MapRectangle* r = record(i);
    return r ? r->showMode : kNotPolygon;
  }
  void Prefetch(int32_t i) const {
    if (arena && i >= first && i < end) AskForRecord(&(*arena)[static_cast<size_t>(i - first)]);
  }
  void Absorb(int32_t d, int32_t j) {
    record(d)->bottom = at(j).bottom;
    record(j)->showMode = kAbsorbed;
  }
};

// Consecutive open polygons with one top and bottom form a band; every other figure is a band
// of its own. The bands cover 1..n in order; the last entry only marks the end. A band is
// sorted when its left edges never decrease (then the first candidate is found by halving).
// A band keeps its top and bottom: the scan moves only the bottom of the rectangle it extends,
// which lies above every band it looks at, so the rows a stack steps through are read once.
struct Band {
  int32_t start;
  int32_t top = 0, bottom = 0;
  bool polygons = false;
  bool sorted = true;
  // The last search in the band: its edge and the first member not left of it. The rectangles
  // of one row search the band below with edges that grow, so the next answer lies a few
  // members further on.
  int32_t lastX = INT32_MIN;
  int32_t lastFound = 0;
};

// Figure i joins the bands: the band before it when both are open polygons with one top and
// bottom, else a band of its own. `open` and `openBefore` are the marks before any scan.
template <class View>
void AddToBands(std::vector<Band>& bands, const View& v, int32_t i, bool open, bool openBefore) {
  const bool joins = open && openBefore && v.top(i) == v.top(i - 1) &&
                     v.bottom(i) == v.bottom(i - 1);
  if (!joins) {
    Band b{i};
    b.polygons = open;
    if (open) b.top = v.top(i), b.bottom = v.bottom(i);
    b.lastFound = i;
    bands.push_back(b);
  } else if (v.left(i) < v.left(i - 1)) {
    bands.back().sorted = false;
  }
}

void EndBands(std::vector<Band>& bands, int32_t n) {
  Band last{n + 1};
  last.lastFound = n + 1;
  bands.push_back(last);
}

// The band that holds figure i.
size_t BandOf(const std::vector<Band>& bands, int32_t i) {
  const auto after = std::upper_bound(bands.begin(), bands.end(), i,
                                      [](int32_t x, const Band& b) { return x < b.start; });
  return static_cast<size_t>(after - bands.begin()) - 1;
}

// The bands of a map known whole before the scan.
class BandTable {
 public:
  template <class View>
  BandTable(const View& v, int32_t n) {
    for (int32_t i = 1; i <= n; ++i)
      AddToBands(bands_, v, i, v.mark(i) == kOpen, i > 1 && v.mark(i - 1) == kOpen);
    EndBands(bands_, n);
  }
  size_t Of(int32_t i) const { return BandOf(bands_, i); }
  void Reach(size_t) {}
  bool IsEnd(size_t k) const { return k + 1 == bands_.size(); }
  size_t Known() const { return bands_.size(); }
  Band& operator[](size_t k) { return bands_[k]; }

 private:
  std::vector<Band> bands_;
};

// The first index from i within [i, end) whose left edge is not below x (bands ordered by
// left edge only); every member skipped would have been passed over by the scan.
template <class View>
int32_t FirstCandidate(const View& v, Band& band, int32_t i, int32_t end, int32_t x,
                       int32_t hint) {
  if (!band.sorted) return i;
  // Rows of flat colour repeat the row above: the candidate sits where the rectangle above sat.
  const int32_t guess = band.start + hint;
  if (guess >= i && guess < end && v.left(guess) == x &&
      (guess == band.start || v.left(guess - 1) < x))
    return guess;
  // Otherwise gallop from the last answer in this band towards x, then halve what is left:
  // everything before lo lies left of x, and hi is the end or lies at x or right of it.
  int32_t lo = band.lastFound, hi = band.lastFound;
  if (x >= band.lastX) {
    for (int32_t step = 1; hi < end && v.left(hi) < x; step *= 2) {
      lo = hi + 1;
      hi = std::min(end, lo + step);
    }
  } else {
    for (int32_t step = 1; lo > band.start && v.left(lo - 1) >= x; step *= 2) {
      hi = lo - 1;
      lo = std::max(band.start, hi - step);
    }
  }
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (v.left(mid) < x)
      lo = mid + 1;
    else
      hi = mid;
  }
  band.lastX = x;
  band.lastFound = lo;
  return std::max(i, lo);
}

// Extends rectangle d downwards over the rectangles below it and marks the absorbed ones.
// The band list may still be growing: Reach(k) returns once band k is known, and a band is
// complete once the next one is.
template <class View, class BandList>
void AbsorbBelow(View& v, BandList& bands, int32_t d) {
  const int32_t k = v.colour(d), x1 = v.left(d), x2 = v.right(d);
  int32_t w = v.bottom(d);
  int32_t merged = 0;
  size_t b = bands.Of(d);
  int32_t hint = d - bands[b].start;  // where the last rectangle of the stack sits in its band
  int32_t i = d + 1;
  bands.Reach(b + 1);
  if (i == bands[b + 1].start) ++b;
  // Asks ahead for the rows where the stack most likely continues; the distance grows with
  // the stack, since most stacks in a photograph end after a step or two.
  size_t asked = b;
  for (; !bands.IsEnd(b); i = bands[++b].start) {
    bands.Reach(b + 1);
    for (const size_t ahead =
             std::min(bands.Known() - 1, b + std::min<size_t>(kAhead, 2 * merged + 2));
         asked < ahead;)
      v.Prefetch(bands[++asked].start + hint);
    Band& band = bands[b];
    if (!band.polygons) continue;  // a band of its own
    const int32_t end = bands[b + 1].start;
    if (band.top < w) {  // the band lies lower: the first open member ends the scan
      for (int32_t j = i; j < end; ++j)
        if (v.mark(j) == kOpen) return;
      continue;
    }
    if (band.bottom >= w) continue;  // the band shares the current bottom row or lies above
    for (int32_t j = FirstCandidate(v, band, i, end, x1, hint); j < end; ++j) {
      if (v.mark(j) != kOpen) continue;
      if (v.left(j) != x1) {
        if (v.left(j) > x1) return;
        continue;
      }
      if (v.right(j) != x2 || v.colour(j) != k) continue;
      w = v.bottom(j);
      v.Absorb(d, j);
      hint = j - band.start;
      if (++merged == kMergeLimit) return;
      break;  // the rest of this band now shares the new bottom row
    }
  }
}

// The records of a generation as the compression alongside it sees them: header remarks
// before them, closing remarks after them once the generation has ended. The marks and the
// moved bottoms are kept here; the map's records are only read.
class AlongsideView : public RecordEdges<AlongsideView> {
 public:
  AlongsideView(const RectangleArena& arena, int32_t first) : arena_(arena), first_(first) {}
  const MapRectangle& at(int32_t i) const { return arena_[static_cast<size_t>(i - first_)]; }
  int16_t mark(int32_t i) const {
    const int64_t k = int64_t{i} - first_;
    return k >= 0 && k < static_cast<int64_t>(known_) ? Mark(static_cast<size_t>(k)) : kNotPolygon;
  }
  void Prefetch(int32_t i) const {
    const int64_t k = int64_t{i} - first_;
    if (k >= 0 && k < static_cast<int64_t>(known_)) AskForRecord(&arena_[static_cast<size_t>(k)]);
  }
  // Only the last bottom of a stack is kept: its absorptions follow one another.
  void Absorb(int32_t d, int32_t j) {
    const int32_t k = d - first_;
    if (bottoms_.empty() || bottoms_.back().first != k) bottoms_.push_back({k, 0});
    bottoms_.back().second = at(j).bottom;
    MarkAbsorbed(static_cast<size_t>(j - first_));
  }
  // The records 0 .. count - 1 are there to be read.
  void Know(size_t count) {
    absorbed_.resize((count + 63) / 64);
    known_ = count;
  }
  size_t Known() const { return known_; }
  int32_t First() const { return first_; }
  // The bottoms the stacks moved to, into the records.
  void ApplyBottoms(RectangleArena& arena) const {
    for (const auto& [k, bottom] : bottoms_) arena[static_cast<size_t>(k)].bottom = bottom;
  }

 private:
  // A record is open until it is absorbed: a bit each.
  int8_t Mark(size_t k) const { return (absorbed_[k / 64] >> (k % 64)) & 1 ? kAbsorbed : kOpen; }
  void MarkAbsorbed(size_t k) { absorbed_[k / 64] |= uint64_t{1} << (k % 64); }

  const RectangleArena& arena_;
  const int32_t first_;
  std::vector<uint64_t> absorbed_;
  size_t known_ = 0;
  std::vector<std::pair<int32_t, int32_t>> bottoms_;  // record, its new bottom
};

struct AlongsideStopped {};

}  // namespace

// Works out the first compression on its own thread while the generation adds rows: the
// scan of head d waits until the rows its stack may reach are there. The generation hands
// over the number of records after each row and the figure count at its end.
class frmMainLogic::CompressionAlongside {
 public:
  // `map` is held so that its records stay while the thread reads them.
  CompressionAlongside(std::shared_ptr<clsMap> map, const RectangleArena& arena, int32_t first)
      : map_(std::move(map)), view_(arena, first), thread_([this] { Run(); }) {}
  ~CompressionAlongside() {
    Stop();
    if (thread_.joinable()) thread_.join();
  }
  // After each row: no lock and no system call unless the thread waits for rows.
  void Published(size_t records) {
    records_.store(records);
    if (waiting_.load()) WakeUp();
  }
  void Ended(size_t records, int32_t figures) {
    {
      std::lock_guard lock(mutex_);
      records_.store(records);
      figures_.store(figures);
    }
    more_.notify_one();
  }
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    more_.notify_one();
  }
  // Waits for the scan; true when it went through for a map of `figures` figures whose
  // records stand at first .. first + records - 1.
  bool Finished(int32_t first, int32_t records, int32_t figures) {
    if (thread_.joinable()) thread_.join();
    return done_ && view_.First() == first && view_.Known() == static_cast<size_t>(records) &&
           figures_.load() == figures;
  }
  const AlongsideView& View() const { return view_; }

 private:
  // The bands as far as the generation has got; Reach waits for more.
  class GrowingBands {
   public:
    explicit GrowingBands(CompressionAlongside& owner) : owner_(owner) {
      for (int32_t i = 1; i < owner.view_.First(); ++i)  // the header remarks
        AddToBands(bands_, owner.view_, i, false, false);
    }
    size_t Of(int32_t i) const { return BandOf(bands_, i); }
    void Reach(size_t k) {
      while (bands_.size() <= k) Grow();
    }
    bool IsEnd(size_t k) const { return ended_ && k + 1 == bands_.size(); }
    size_t Known() const { return bands_.size(); }
    Band& operator[](size_t k) { return bands_[k]; }
    // Waits until figure d is there; false when the map ends before d.
    bool Cover(int32_t d) {
      AlongsideView& v = owner_.view_;
      while (!ended_ && int64_t{d} >= v.First() + static_cast<int64_t>(v.Known())) Grow();
      return !ended_ || d < figures_;
    }

   private:
    void Grow() {
      if (ended_) throw std::logic_error("compression alongside: past the end");
      AlongsideView& v = owner_.view_;
      const size_t from = v.Known();
      const auto [records, figures] = owner_.WaitForMore(from);
      v.Know(records);
      for (size_t k = from; k < records; ++k) {
        const int32_t i = v.First() + static_cast<int32_t>(k);
        AddToBands(bands_, v, i, true, k > 0);
      }
      if (figures < 0) return;
      for (int32_t i = v.First() + static_cast<int32_t>(records); i <= figures; ++i)
        AddToBands(bands_, v, i, false, false);
      EndBands(bands_, figures);
      figures_ = figures;
      ended_ = true;
    }

    CompressionAlongside& owner_;
    std::vector<Band> bands_;
    bool ended_ = false;
    int32_t figures_ = -1;
  };

  // The records and figures once there are more records than `known` or the generation has
  // ended (figures -1 until then).
  // The flag is set before the rows are looked at again under the lock, and the generation
  // stores the rows before it looks at the flag: one of the two sees the other.
  std::pair<size_t, int32_t> WaitForMore(size_t known) {
    std::unique_lock lock(mutex_);
    waiting_.store(true);
    more_.wait(lock, [&] { return stop_ || records_.load() > known || figures_.load() >= 0; });
    waiting_.store(false);
    if (stop_) throw AlongsideStopped{};
    return {records_.load(), figures_.load()};
  }
  void WakeUp() {
    { std::lock_guard lock(mutex_); }
    more_.notify_one();
  }

  void Run() {
    try {
      GrowingBands bands(*this);
      for (int32_t d = view_.First(); bands.Cover(d); ++d)
        if (view_.mark(d) == kOpen) AbsorbBelow(view_, bands, d);
      done_ = true;
    } catch (...) {  // stopped, or out of memory: the compression then scans the map itself
    }
  }

  const std::shared_ptr<clsMap> map_;
  AlongsideView view_;
  std::mutex mutex_;
  std::condition_variable more_;
  std::atomic<size_t> records_{0};
  std::atomic<int32_t> figures_{-1};
  std::atomic<bool> waiting_{false};
  bool stop_ = false;
  bool done_ = false;
  std::thread thread_;  // last: it starts once everything above is there
};

void frmMainLogic::AlongsideEnd::operator()(CompressionAlongside* c) const { delete c; }

// Before the first row: the header remarks are in the map, no record yet.
void frmMainLogic::StartCompressionAlongside() {
  alongside_.reset();
  clsMap& map = *state_.oMap;
  if (!compressAlong_ || map.LockMode() || map.RecordCount() != 0) return;
  const Picture& pic = window_.SourcePicture();
  // A row makes at most one rectangle per pixel and one more where it crosses 180°.
  const size_t most = static_cast<size_t>(pic.height) * (static_cast<size_t>(pic.width) + 1);
  alongside_.reset(
      new CompressionAlongside(state_.oMap, map.ReserveRecords(most), map.Count() + 1));
}

void frmMainLogic::RowsGenerated() {
  if (alongside_) alongside_->Published(state_.oMap->RecordCount());
}

void frmMainLogic::GenerationEnded() {
  if (alongside_) alongside_->Ended(state_.oMap->RecordCount(), state_.oMap->Count());
}

namespace {

std::u16string Dec(int64_t n) { return FromUtf8(std::to_string(n)); }

// Polygons that are figure objects (a map read or edited elsewhere) take the array path.
bool AllPolygonsAreRecords(clsMap& map) {
  if (map.LockMode()) return false;  // the refusals of Clear and Add are shown as before
  for (int32_t i = 1; i <= map.Count(); ++i)
    if (map.FigCode(i) == figcode::kPolygon && !map.RectangleAt(i)) return false;
  return true;
}

}  // namespace

// The scan over either view; false when cancelled (the marks stay as they are).
template <class View>
bool frmMainLogic::Scan(View& v, int32_t n) {
  BandTable bands(v, n);
  for (int32_t d = 1; d <= n - 1; ++d) {
    if (d % 8 == 0) {
      window_.SetProgressMax(n);
      window_.SetProgressValue(d);
      RunPendingEvents();
      if (state_.cancelRequest) {
        window_.SetProgressValue(0);
        return false;
      }
    }
    if (v.mark(d) == kOpen) AbsorbBelow(v, bands, d);
  }
  return true;
}

int32_t frmMainLogic::Compress2D() {
  clsMap& map = *state_.oMap;
  const int32_t n = map.Count();
  if (TakeCompressionAlongside(map, n)) {
  } else if (AllPolygonsAreRecords(map)) {
    MapRecords v(map);
    if (!Scan(v, n)) return -1;
    map.Rebuild([&v](int32_t i) { return v.mark(i) != kAbsorbed; });
  } else {
    FigureArrays v(map);
    if (!Scan(v, n)) return -1;
    map.Clear();
    for (int32_t i = 1; i <= n; ++i) {
      if (v.marks[i] == kAbsorbed) continue;
      v.fig[i]->OwnShowMode(kOpen);
      map.Add(v.fig[i]);  // a figure the map refuses is lost and counted as removed
    }
  }
  window_.SetProgressValue(0);
  return n - map.Count();
}

// The compression alongside the generation, when the map is still as the generation left it:
// its records in order, every other figure a remark. The result is what the scan over the
// map and Rebuild leave (their marks on the records are only read by Rebuild, which resets
// them). Whatever the answer, the thread has ended when this returns.
bool frmMainLogic::TakeCompressionAlongside(clsMap& map, int32_t n) {
  const std::unique_ptr<CompressionAlongside, AlongsideEnd> alongside = std::move(alongside_);
  if (!alongside || map.LockMode()) return false;
  int32_t first = 0, count = 0;
  RectangleArena* arena = map.OrderedRectangles(first, count);
  if (!arena || !alongside->Finished(first, count, n)) return false;
  auto others = [&](auto each) {
    for (int32_t i = 1; i < first; ++i) each(i);
    for (int32_t i = first + count; i <= n; ++i) each(i);
  };
  bool polygonObject = false;
  others([&](int32_t i) { polygonObject |= map.FigCode(i) == figcode::kPolygon; });
  if (polygonObject) return false;
  others([&](int32_t i) { map.Item(i)->OwnShowMode(kNotPolygon); });
  const AlongsideView& result = alongside->View();
  result.ApplyBottoms(*arena);
  map.Rebuild([&result](int32_t i) { return result.mark(i) != kAbsorbed; });
  return true;
}

void frmMainLogic::mnuCompress_Click() {
  window_.SetMenuEnabled(Menu::mnuCompress, false);
  window_.SetMenuEnabled(Menu::mnuCancel, true);
  state_.cancelRequest = false;
  ScreenMousePointer(pointer::kHourglass);
  const std::u16string caption = window_.Caption();
  window_.SetCaption(caption + Tr("frmMain", "   [圧縮中...]"));
  int32_t r = -1;
  try {
    r = Compress2D();
  } catch (...) {
    window_.SetCaption(caption);
    ScreenMousePointer(-1);
    window_.SetMenuEnabled(Menu::mnuCancel, false);
    window_.SetMenuEnabled(Menu::mnuCompress, true);
    throw;
  }
  window_.SetCaption(caption);
  ScreenMousePointer(-1);
  lastCompress_ = r;
  if (r != 0) mapUnsaved_ = true;  // a cancelled run may have merged figures already
  if (r < 0)
    window_.Message(frmtext::kCompressCancelled, true);
  else
    window_.Message(Arg(Tr("frmMain", "２次元圧縮を完了しました(削減数=%1). 保存してください."), {Dec(r)}),
                    false);
  window_.SetMenuEnabled(Menu::mnuCancel, false);
  window_.SetMenuEnabled(Menu::mnuCompress, true);
  ShowStatus();
}

void frmMainLogic::mnuCancel_Click() {
  state_.cancelRequest = true;
  window_.SetMenuEnabled(Menu::mnuCancel, false);
}

}  // namespace picmap
