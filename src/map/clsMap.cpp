#include "map/clsMap.h"

#include "map/clsMapRem.h"
#include "map/map_guard.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/numeric.h"

namespace picmap {

clsMap::clsMap() = default;

clsMap::~clsMap() {
  try {
    ResetUndo();
    figures_.clear();
  } catch (...) {
  }
}

bool clsMap::Modify() const {
  return GuardedMapOperation(u"Modify", [&] {
    if (changeCount_ == 0) {
      for (const auto& f : figures_) {
        if (f->Modify()) {
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
    for (const auto& f : figures_) f->Modify(false);
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
  if (!figures_.empty() || mode == mapMode_ || (mode != 1 && mode != 2)) return;
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
  ShowError(fileName_ + u"\r\nは変更禁止. [" + operation + u"]");
  return true;
}

void clsMap::AddUndo(int16_t kind, int32_t position, std::shared_ptr<clsMapFigure> figure) {
  GuardedMapOperation(u"AddUndo", [&] {
    if (undoRecording_) undoLog_.push_back(UndoRecord{kind, position, std::move(figure)});
  });
}

void clsMap::InsertAt(int32_t Index, std::shared_ptr<clsMapFigure> figure) {
  if (Index > Count())
    figures_.push_back(std::move(figure));
  else
    figures_.insert(figures_.begin() + (Index - 1), std::move(figure));
}

std::shared_ptr<clsMapFigure> clsMap::TakeAt(int32_t Index) {
  std::shared_ptr<clsMapFigure> f = std::move(figures_[static_cast<size_t>(Index - 1)]);
  figures_.erase(figures_.begin() + (Index - 1));
  return f;
}

void clsMap::ClearFigures() {
  FigureList().swap(figures_);
  changeCount_ = 0;
  ResetUndo();
}

bool clsMap::IsRight() const {
  for (const auto& f : figures_)
    if (!f->IsRight()) return false;
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
  return InBound(Index) ? figures_[static_cast<size_t>(Index - 1)]->FigCode() : 0;
}

std::shared_ptr<clsMapFigure> clsMap::Item(int32_t Index) const {
  return InBound(Index) ? figures_[static_cast<size_t>(Index - 1)] : nullptr;
}

bool clsMap::Add(std::shared_ptr<clsMapFigure> oMapFig) {
  return GuardedMapOperation(u"Add", [&] {
    if (RefusedByLock(u"Add")) return false;
    if (!oMapFig || !oMapFig->IsRight()) return false;
    figures_.push_back(std::move(oMapFig));
    AddUndo(kInserted, Count());
    AddChanges(1);
    return true;
  });
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
    figures_.insert(figures_.begin() + (iStart - 1), colElm.begin(), colElm.end());
    const auto n = static_cast<int32_t>(colElm.size());
    for (int32_t i = 0; i < n; ++i) undoLog_.push_back(UndoRecord{kInserted, iStart + i, nullptr});
    AddChanges(n);
    return true;
  });
}

bool clsMap::Remove(int32_t Index) {
  return GuardedMapOperation(u"Remove", [&] {
    if (RefusedByLock(u"Remove")) return false;
    if (!InBound(Index)) return false;
    AddUndo(kRemoved, Index, figures_[static_cast<size_t>(Index - 1)]);
    TakeAt(Index);
    AddChanges(1);
    return true;
  });
}

bool clsMap::Removes(int32_t iStart, int32_t iEnd) {
  return GuardedMapOperation(u"Removes", [&] {
    if (RefusedByLock(u"Removes")) return false;
    if (!InBound(iStart) || !InBound(iEnd) || iStart > iEnd) return false;
    const auto first = figures_.begin() + (iStart - 1);
    const auto last = figures_.begin() + iEnd;
    for (auto it = first; it != last; ++it) undoLog_.push_back(UndoRecord{kRemoved, iStart, *it});
    figures_.erase(first, last);
    AddChanges(iEnd - iStart + 1);
    return true;
  });
}

bool clsMap::Renew(int32_t Index, std::shared_ptr<clsMapFigure> oMapFig) {
  return GuardedMapOperation(u"Renew", [&] {
    if (RefusedByLock(u"Renew")) return false;
    if (!InBound(Index) || !oMapFig || !oMapFig->IsRight()) return false;
    AddUndo(kRemoved, Index, figures_[static_cast<size_t>(Index - 1)]);
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
    std::shared_ptr<clsMapFigure> figure = figures_[static_cast<size_t>(srcIndex - 1)];
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
    for (int32_t i = 1; i <= Count(); ++i)
      if (figures_[static_cast<size_t>(i - 1)]->JumpMark() == iMark) return i;
    return -1;
  });
}

int32_t clsMap::SearchReserve(int32_t Index, int32_t dt) const {
  return GuardedMapOperation(u"SearchReserve", [&] {
    for (int32_t i = Index < 1 ? 1 : Index; i <= Count(); ++i)
      if (figures_[static_cast<size_t>(i - 1)]->Reserve() == dt) return i;
    return -1;
  });
}

void clsMap::Undo() {
  GuardedMapOperation(u"Undo", [&] {
    while (!undoLog_.empty()) {
      UndoRecord r = std::move(undoLog_.back());
      undoLog_.pop_back();
      if (r.kind == kInserted) {
        if (InBound(r.position)) TakeAt(r.position);
      } else {
        InsertAt(r.position, std::move(r.figure));
      }
      changeCount_ = SubL(changeCount_, 1);
    }
    ResetUndo();
  });
}

void clsMap::ResetUndo() { std::vector<UndoRecord>().swap(undoLog_); }

}  // namespace picmap
