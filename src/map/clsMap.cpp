#include "map/clsMap.h"

#include <algorithm>

#include "map/clsMapPolygon.h"
#include "map/clsMapRem.h"
#include "map/map_guard.h"
#include "support/colorlib.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/ui_text.h"

namespace picmap {

clsMap::clsMap() = default;

clsMap::~clsMap() {
  try {
    ResetUndo();
    ClearFigures();
  } catch (...) {
  }
}

const std::shared_ptr<clsMapFigure>& clsMap::FigureAt(int32_t Index) const {
  uint32_t& slot = slots_[static_cast<size_t>(Index - 1)];
  if (slot & kRecordBit) slot = StoreObject(clsMapPolygon::FromRectangle(records_[slot & ~kRecordBit]));
  return objects_[slot];
}

uint32_t clsMap::StoreObject(std::shared_ptr<clsMapFigure> figure) const {
  if (!freeObjects_.empty()) {
    const uint32_t i = freeObjects_.back();
    freeObjects_.pop_back();
    objects_[i] = std::move(figure);
    return i;
  }
  objects_.push_back(std::move(figure));
  return static_cast<uint32_t>(objects_.size() - 1);
}

// A record that is no longer used stays in the arena until the next rebuild or clear.
void clsMap::ReleaseSlot(uint32_t slot) {
  if (slot & kRecordBit) return;
  objects_[slot].reset();
  freeObjects_.push_back(slot);
}

// A figure read from a file: a rectangle of the generated kind is kept as a record.
void clsMap::AppendFigure(std::shared_ptr<clsMapFigure> figure) {
  MapRectangle r;
  if (figure->FigCode() == figcode::kPolygon &&
      static_cast<const clsMapPolygon&>(*figure).AsRectangle(r) &&
      records_.size() < kRecordBit) {
    slots_.push_back(static_cast<uint32_t>(records_.push_back(r)) | kRecordBit);
    return;
  }
  slots_.push_back(StoreObject(std::move(figure)));
}

bool clsMap::Modify() const {
  return GuardedMapOperation(u"Modify", [&] {
    if (changeCount_ == 0) {
      for (const uint32_t slot : slots_) {
        const bool modified = (slot & kRecordBit) ? records_[slot & ~kRecordBit].modified
                                                  : objects_[slot]->Modify();
        if (modified) {
          changeCount_ = 1;
          break;
        }
      }
    }
    // Undoing changes made before the document was last marked unmodified leaves the count
    // below 0: the content then differs from the saved one again.
    return changeCount_ != 0;
  });
}

void clsMap::Modify(bool value) {
  GuardedMapOperation(u"Modify", [&] {
    if (value) {
      if (changeCount_ <= 0) changeCount_ = 1;
      return;
    }
    for (const uint32_t slot : slots_) {
      if (slot & kRecordBit)
        records_[slot & ~kRecordBit].modified = false;
      else
        objects_[slot]->Modify(false);
    }
    changeCount_ = 0;
  });
}

void clsMap::FileName(const std::u16string& name) {
  if (name.empty() || name == fileName_) return;
  ApplyFileName(name);
}

void clsMap::AssignFileName(const std::u16string& name) {
  if (name.empty() || name == fileName_) return;
  fileName_ = name;
  AddChanges(1);
  LockMode(false);
}

// The extension becomes the mode's; one that already is the mode's in other letter case is
// kept, since on a case-sensitive file system "japan.mll" and "japan.MLL" are two files.
std::u16string clsMap::WithModeExtension(const std::u16string& name) const {
  const std::u16string wanted = ChangeExtension(name, mapMode_ == 2 ? u".MXY" : u".MLL");
  const bool sameButCase = EqualsIgnoringCase(wanted, name) && wanted.size() == name.size();
  return sameButCase ? name : wanted;
}

void clsMap::ApplyFileName(const std::u16string& name) {
  fileName_ = WithModeExtension(name);
  AddChanges(1);
  LockMode(false);
}

void clsMap::MapMode(int32_t mode) {
  if (!slots_.empty() || mode == mapMode_ || (mode != 1 && mode != 2)) return;
  mapMode_ = mode;
  AddChanges(1);
  // The extension follows the new mode, so the name and the mode never disagree.
  if (WithModeExtension(fileName_) != fileName_) ApplyFileName(fileName_);
}

void clsMap::LockMode(bool value) {
  if (value == lock_) return;
  lock_ = value;
  AddChanges(1);
}

void clsMap::AddChanges(int32_t n) { changeCount_ = AddL(changeCount_, n); }

bool clsMap::RefusedByLock(const char16_t* operation) const {
  if (!lock_) return false;
  ShowError(fileName_ + u"\r\n" + Tr("clsMap", "は変更禁止.") + u" [" + operation + u"]");
  return true;
}

void clsMap::AddUndo(int16_t kind, int32_t position, std::shared_ptr<clsMapFigure> figure) {
  GuardedMapOperation(u"AddUndo", [&] {
    if (undoRecording_) LogUndo(kind, position, std::move(figure));
  });
}

void clsMap::LogUndo(int16_t kind, int32_t position, std::shared_ptr<clsMapFigure> figure) {
  if (kind == kInserted && !undoLog_.empty()) {
    UndoRecord& last = undoLog_.back();
    if (last.kind == kInserted && int64_t{last.position} + last.count == position) {
      ++last.count;
      return;
    }
  }
  undoLog_.push_back(UndoRecord{kind, position, 1, std::move(figure)});
}

// The undo record of `count` figures inserted one after another from `position` on, as
// that many LogUndo calls leave it.
void clsMap::LogInsertions(int32_t position, int32_t count) {
  LogUndo(kInserted, position, nullptr);
  undoLog_.back().count += count - 1;
}

void clsMap::InsertAt(int32_t Index, std::shared_ptr<clsMapFigure> figure) {
  const uint32_t slot = StoreObject(std::move(figure));
  if (Index > Count())
    slots_.push_back(slot);
  else
    slots_.insert(slots_.begin() + (Index - 1), slot);
}

std::shared_ptr<clsMapFigure> clsMap::TakeAt(int32_t Index) {
  std::shared_ptr<clsMapFigure> f = FigureAt(Index);
  ReleaseSlot(slots_[static_cast<size_t>(Index - 1)]);
  slots_.erase(slots_.begin() + (Index - 1));
  return f;
}

void clsMap::ClearFigures() {
  std::vector<uint32_t>().swap(slots_);
  std::vector<std::shared_ptr<clsMapFigure>>().swap(objects_);
  std::vector<uint32_t>().swap(freeObjects_);
  records_.clear();
  changeCount_ = 0;
  ResetUndo();
}

bool clsMap::IsRight() const {
  for (const uint32_t slot : slots_) {
    const bool right = (slot & kRecordBit) ? RectangleRight(records_[slot & ~kRecordBit])
                                           : objects_[slot]->IsRight();
    if (!right) return false;
  }
  return true;
}

bool clsMap::Clear() {
  return GuardedMapOperation(u"Clear", [&] {
    if (RefusedByLock(u"Clear")) return false;
    ClearFigures();
    return true;
  });
}

int32_t clsMap::FigCode(int32_t Index) const {
  if (!InBound(Index)) return 0;
  const uint32_t slot = slots_[static_cast<size_t>(Index - 1)];
  return (slot & kRecordBit) ? figcode::kPolygon : objects_[slot]->FigCode();
}

std::shared_ptr<clsMapFigure> clsMap::Item(int32_t Index) const {
  return InBound(Index) ? FigureAt(Index) : nullptr;
}

bool clsMap::Add(std::shared_ptr<clsMapFigure> oMapFig) {
  return GuardedMapOperation(u"Add", [&] {
    if (RefusedByLock(u"Add")) return false;
    if (!oMapFig || !oMapFig->IsRight()) return false;
    slots_.push_back(StoreObject(std::move(oMapFig)));
    AddUndo(kInserted, Count());
    AddChanges(1);
    return true;
  });
}

bool clsMap::AddRectangle(const MapRectangle& r) {
  return GuardedMapOperation(u"Add", [&] {
    if (RefusedByLock(u"Add")) return false;
    if (!RectangleRight(r)) return false;
    if (records_.size() >= kRecordBit) return Add(clsMapPolygon::FromRectangle(r));
    slots_.push_back(static_cast<uint32_t>(records_.push_back(r)) | kRecordBit);
    AddUndo(kInserted, Count());
    AddChanges(1);
    return true;
  });
}

int32_t clsMap::AddRectangles(std::span<const MapRectangle> rows) {
  if (lock_ || records_.size() + rows.size() >= kRecordBit) {  // refused or overflowing one by one
    int32_t added = 0;
    for (const MapRectangle& r : rows) added += AddRectangle(r) ? 1 : 0;
    return added;
  }
  return GuardedMapOperation(u"Add", [&] {
    const int32_t first = Count() + 1;
    if (std::all_of(rows.begin(), rows.end(), RectangleRight)) {
      const size_t base = records_.size(), at = slots_.size();
      records_.append(rows.data(), rows.size());
      slots_.resize(at + rows.size());
      for (size_t k = 0; k < rows.size(); ++k)
        slots_[at + k] = static_cast<uint32_t>(base + k) | kRecordBit;
    } else {
      for (const MapRectangle& r : rows)
        if (RectangleRight(r))
          slots_.push_back(static_cast<uint32_t>(records_.push_back(r)) | kRecordBit);
    }
    const int32_t added = Count() + 1 - first;
    if (added > 0 && undoRecording_) LogInsertions(first, added);
    AddChanges(added);
    return added;
  });
}

bool clsMap::Rebuild(const std::function<bool(int32_t)>& keep) {
  return GuardedMapOperation(u"Clear", [&] {
    if (lock_) return false;
    return RebuildKept(keep);
  });
}

// What Clear followed by Add of each kept figure leaves, without taking the figures out.
bool clsMap::RebuildKept(const std::function<bool(int32_t)>& keep) {
  changeCount_ = 0;
  ResetUndo();
  size_t w = 0;
  for (size_t i = 0; i < slots_.size(); ++i) {
    const uint32_t slot = slots_[i];
    bool right = false;
    if (keep(static_cast<int32_t>(i + 1))) {
      if (slot & kRecordBit) {
        MapRectangle& r = records_[slot & ~kRecordBit];
        r.showMode = -1;
        r.modified = true;
        right = RectangleRight(r);
      } else {
        objects_[slot]->OwnShowMode(-1);
        right = objects_[slot]->IsRight();
      }
    }
    if (!right) {
      ReleaseSlot(slot);
      continue;
    }
    slots_[w++] = slot;
    AddUndo(kInserted, static_cast<int32_t>(w));
    AddChanges(1);
  }
  slots_.resize(w);
  CompactRecords();
  return true;
}

RectangleArena* clsMap::OrderedRectangles(int32_t& first, int32_t& count) {
  count = static_cast<int32_t>(records_.size());
  size_t p = 0;
  while (p < slots_.size() && !(slots_[p] & kRecordBit)) ++p;
  first = static_cast<int32_t>(p + 1);
  if (count == 0 || p + records_.size() > slots_.size()) return nullptr;
  for (size_t k = 0; k < records_.size(); ++k)
    if (slots_[p + k] != (static_cast<uint32_t>(k) | kRecordBit)) return nullptr;
  for (size_t q = p + records_.size(); q < slots_.size(); ++q)
    if (slots_[q] & kRecordBit) return nullptr;
  return &records_;
}

// Moves the records still in use to the front of the arena when they stand in map order
// (as generation and reading leave them), and gives the rest back.
void clsMap::CompactRecords() {
  size_t last = 0, used = 0;
  for (const uint32_t slot : slots_) {
    if (!(slot & kRecordBit)) continue;
    const size_t r = slot & ~kRecordBit;
    if (used > 0 && r <= last) return;
    last = r;
    ++used;
  }
  if (used == records_.size()) return;
  size_t w = 0;
  for (uint32_t& slot : slots_) {
    if (!(slot & kRecordBit)) continue;
    records_[w] = records_[slot & ~kRecordBit];
    slot = static_cast<uint32_t>(w++) | kRecordBit;
  }
  records_.resize_down(w);
}

bool clsMap::Ins(int32_t Index, std::shared_ptr<clsMapFigure> oMapFig) {
  return GuardedMapOperation(u"Ins", [&] {
    if (RefusedByLock(u"Ins")) return false;
    if (!oMapFig || !oMapFig->IsRight()) return false;
    if (!InBound(Index)) Index = Count() + 1;
    InsertAt(Index, std::move(oMapFig));
    AddUndo(kInserted, Index);
    AddChanges(1);
    return true;
  });
}

bool clsMap::Inss(int32_t iStart, const FigureList& colElm) {
  return GuardedMapOperation(u"Inss", [&] {
    if (RefusedByLock(u"Inss")) return false;
    if (colElm.empty()) return false;
    for (const auto& f : colElm)
      if (!f || !f->IsRight()) return false;
    if (!InBound(iStart)) iStart = Count() + 1;
    std::vector<uint32_t> added;
    for (const auto& f : colElm) added.push_back(StoreObject(f));
    slots_.insert(slots_.begin() + (iStart - 1), added.begin(), added.end());
    const auto n = static_cast<int32_t>(colElm.size());
    for (int32_t i = 0; i < n; ++i) LogUndo(kInserted, iStart + i, nullptr);
    AddChanges(n);
    return true;
  });
}

bool clsMap::Remove(int32_t Index) {
  return GuardedMapOperation(u"Remove", [&] {
    if (RefusedByLock(u"Remove")) return false;
    if (!InBound(Index)) return false;
    AddUndo(kRemoved, Index, FigureAt(Index));
    TakeAt(Index);
    AddChanges(1);
    return true;
  });
}

bool clsMap::Removes(int32_t iStart, int32_t iEnd) {
  return GuardedMapOperation(u"Removes", [&] {
    if (RefusedByLock(u"Removes")) return false;
    if (!InBound(iStart) || !InBound(iEnd) || iStart > iEnd) return false;
    for (int32_t i = iStart; i <= iEnd; ++i) LogUndo(kRemoved, iStart, FigureAt(i));
    for (int32_t i = iStart; i <= iEnd; ++i) ReleaseSlot(slots_[static_cast<size_t>(i - 1)]);
    slots_.erase(slots_.begin() + (iStart - 1), slots_.begin() + iEnd);
    AddChanges(iEnd - iStart + 1);
    return true;
  });
}

bool clsMap::Renew(int32_t Index, std::shared_ptr<clsMapFigure> oMapFig) {
  return GuardedMapOperation(u"Renew", [&] {
    if (RefusedByLock(u"Renew")) return false;
    if (!InBound(Index) || !oMapFig || !oMapFig->IsRight()) return false;
    AddUndo(kRemoved, Index, FigureAt(Index));
    TakeAt(Index);
    AddChanges(1);
    if (Index > Count()) Index = Count() + 1;
    InsertAt(Index, std::move(oMapFig));
    AddUndo(kInserted, Index);
    AddChanges(1);
    return true;
  });
}

bool clsMap::Move(int32_t srcIndex, int32_t dstIndex) {
  return GuardedMapOperation(u"Move", [&] {
    if (RefusedByLock(u"Move")) return false;
    if (srcIndex == dstIndex) return false;
    if (srcIndex < dstIndex) --dstIndex;
    if (!InBound(srcIndex) || !InBound(dstIndex)) return false;
    std::shared_ptr<clsMapFigure> figure = FigureAt(srcIndex);
    AddUndo(kRemoved, srcIndex, figure);
    TakeAt(srcIndex);
    AddChanges(1);
    if (dstIndex > Count()) dstIndex = Count() + 1;
    InsertAt(dstIndex, std::move(figure));
    AddUndo(kInserted, dstIndex);
    AddChanges(1);
    return true;
  });
}

int32_t clsMap::SearchJumpMark(int16_t iMark) const {
  return GuardedMapOperation(u"SearchJumpMark", [&] {
    for (int32_t i = 1; i <= Count(); ++i) {
      const uint32_t slot = slots_[static_cast<size_t>(i - 1)];
      if (((slot & kRecordBit) ? 0 : objects_[slot]->JumpMark()) == iMark) return i;
    }
    return -1;
  });
}

int32_t clsMap::SearchReserve(int32_t Index, int32_t dt) const {
  return GuardedMapOperation(u"SearchReserve", [&] {
    for (int32_t i = Index < 1 ? 1 : Index; i <= Count(); ++i) {
      const uint32_t slot = slots_[static_cast<size_t>(i - 1)];
      if (((slot & kRecordBit) ? 0 : objects_[slot]->Reserve()) == dt) return i;
    }
    return -1;
  });
}

void clsMap::Undo() {
  GuardedMapOperation(u"Undo", [&] {
    while (!undoLog_.empty()) {
      UndoRecord r = std::move(undoLog_.back());
      undoLog_.pop_back();
      if (r.kind == kInserted) {
        for (int32_t k = r.count - 1; k >= 0; --k) {
          if (InBound(r.position + k)) TakeAt(r.position + k);
          changeCount_ = SubL(changeCount_, 1);
        }
        continue;
      }
      InsertAt(r.position, std::move(r.figure));
      changeCount_ = SubL(changeCount_, 1);
    }
    ResetUndo();
  });
}

// Rectangle records are never thinned (five points), so only figure objects are asked.
clsMap::Thinning clsMap::ThinnedByLastSave() const {
  Thinning t;
  for (const uint32_t slot : slots_) {
    if (slot & kRecordBit) continue;
    const auto* linear = dynamic_cast<const clsMapLinear*>(objects_[slot].get());
    if (!linear || linear->PointsThinnedByLastWrite() == 0) continue;
    t.points += linear->PointsThinnedByLastWrite();
    ++t.figures;
  }
  return t;
}

void clsMap::ResetUndo() { std::vector<UndoRecord>().swap(undoLog_); }

}  // namespace picmap
