// clsMap: the map document. An ordered list of figures (1-based positions) with the state of
// the whole map: file name, coordinate mode, file version, lock, change count and an undo log
// that reverts every change since it was last emptied. Facts about the whole map live in
// header remark lines ("# key：value") among the first 50 figures. Load and Save read and
// write the binary map file and report their progress through `Progress`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "map/clsMapFigure.h"
#include "map/map_rectangle.h"
#include "support/platform.h"

namespace picmap {

class BinaryReader;
class BinaryWriter;
class clsMapPolygon;
class clsMapRem;
struct FileFailure;

class clsMap {
 public:
  using FigureList = std::vector<std::shared_ptr<clsMapFigure>>;
  class FigureIterator;
  class FigureView;

  clsMap();
  ~clsMap();
  clsMap(const clsMap&) = delete;
  clsMap& operator=(const clsMap&) = delete;

  // Event: percentage 0 .. 100 in steps of 4, raised synchronously by Load and Save.
  std::function<void(int16_t parcent)> Progress;

  // Changed since the last load or save: a change count other than 0, or a modified figure.
  // False clears every figure's mark and the count.
  bool Modify() const;
  void Modify(bool value);
  const std::u16string& FileName() const { return fileName_; }
  // The extension becomes ".MLL" (mode 1) or ".MXY" (mode 2); unlocks the document.
  void FileName(const std::u16string& name);
  int32_t MapMode() const { return mapMode_; }
  // Names the file exactly as given, without the extension rule, for tools that read a file
  // under whatever name it has (a backup, "map.mll"); like the setter, it unlocks the document.
  void AssignFileName(const std::u16string& name);
  // Only while the map has no figures; the file name's extension follows the mode.
  void MapMode(int32_t mode);
  bool LockMode() const { return lock_; }
  void LockMode(bool value);
  bool EiUndo() const { return undoRecording_; }
  void EiUndo(bool value) { undoRecording_ = value; }
  // The file version times 100; a "地図バージョン" header line saying 1.05 or 1.06 decides.
  int16_t Version() const;
  // 99 .. 106: rewrites (or inserts at position 1) the version header line.
  void Version(int16_t iVer);
  int32_t Count() const { return static_cast<int32_t>(slots_.size()); }
  // The live figures in order (0-based, like any collection).
  FigureView MapCollection() const;
  std::u16string Kind() const;
  int16_t Country() const;
  int16_t Level() const;
  int32_t MapCode() const;
  std::u16string MapName(int32_t iLang) const;
  std::u16string ProjectionName() const;
  DateTime LastDate() const;
  // Rewrites (or inserts at position 2) the "最終更新日時" header line.
  void LastDate(const DateTime& dt);
  // NewEnum: the figures in order.
  FigureIterator begin() const;
  FigureIterator end() const;

  bool IsRight() const;
  bool Clear();
  int32_t FigCode(int32_t Index) const;
  std::shared_ptr<clsMapFigure> Item(int32_t Index) const;
  // The editing operations refuse a locked document (with a message) and figures that are
  // not right; they keep the caller's reference itself.
  bool Add(std::shared_ptr<clsMapFigure> oMapFig);
  bool Ins(int32_t Index, std::shared_ptr<clsMapFigure> oMapFig);
  bool Inss(int32_t iStart, const FigureList& colElm);
  bool Remove(int32_t Index);
  bool Removes(int32_t iStart, int32_t iEnd);
  bool Renew(int32_t Index, std::shared_ptr<clsMapFigure> oMapFig);
  // Places the figure just before the one that was at dstIndex (Count + 1: at the end).
  bool Move(int32_t srcIndex, int32_t dstIndex);
  // The value of the first header line with the key anywhere in the map.
  std::u16string SearchRem(const std::u16string& sKey) const;
  int32_t SearchJumpMark(int16_t iMark) const;  // -1 when none
  int32_t SearchReserve(int32_t Index, int32_t dt) const;
  void Undo();
  void ResetUndo();
  bool CanUndo() const { return !undoLog_.empty(); }

  // ---- For the conversion, which makes and merges about a million rectangles ----
  // Add of the polygon the record stands for, without making the figure object.
  bool AddRectangle(const MapRectangle& r);
  // AddRectangle of each record in turn (a generated row at a time); the number added.
  int32_t AddRectangles(std::span<const MapRectangle> rows);
  // The record of the figure at Index while nobody has asked for that figure; nullptr for
  // figures that are objects. Changes through it are changes of that figure.
  MapRectangle* RectangleAt(int32_t Index) {
    const uint32_t slot = slots_[static_cast<size_t>(Index - 1)];
    return (slot & kRecordBit) ? &records_[slot & ~kRecordBit] : nullptr;
  }
  // The arena when the records are exactly the figures at positions first .. first + count - 1
  // in that order (as generation and reading leave them); nullptr otherwise.
  RectangleArena* OrderedRectangles(int32_t& first, int32_t& count);
  // The records so far, and their arena with room for n records: below that many it never
  // moves what it holds, so another thread may read the records already added.
  size_t RecordCount() const { return records_.size(); }
  const RectangleArena& ReserveRecords(size_t n) {
    records_.reserve(n);
    return records_;
  }
  // Clear, then Add of every figure for which keep(position) is true, in order, with the
  // own show mode -1: the undo log and the change count end as that sequence leaves them,
  // and a figure that is not right is lost. False (nothing done) for a locked document.
  bool Rebuild(const std::function<bool(int32_t)>& keep);

  // 0 on success, 53 for a missing file, otherwise the number of the failure (or the
  // failure is passed up, as the file-error dialog decides).
  int32_t Load();
  // Load of only the figures the header lines are looked for among: what a map says of
  // itself, from a map that may be too big to hold.
  int32_t LoadHeader();
  // 0 on success and when there is nothing to save, 70 for a read-only file.
  int32_t Save();
  // What the figures lost to fit versions 1.04 and 1.05 (at most 65535 points each) when
  // they were last written: the points thinned away and the figures they came from.
  struct Thinning {
    int64_t points = 0;
    int32_t figures = 0;
  };
  Thinning ThinnedByLastSave() const;

 private:
  // Insertions at consecutive positions share one record (count of them), so that building
  // a map of a million figures does not log a million records.
  struct UndoRecord {
    int16_t kind;  // 1 inserted at position (count figures), 2 removed from position
    int32_t position;
    int32_t count;
    std::shared_ptr<clsMapFigure> figure;  // the removed figure (kind 2)
  };
  // A slot is a record index with this bit, or an index into the figure objects.
  static constexpr uint32_t kRecordBit = 0x80000000u;
  static constexpr int16_t kInserted = 1;
  static constexpr int16_t kRemoved = 2;
  static constexpr int32_t kHeaderLines = 50;  // header lines are looked for among the first 50 figures

  bool InBound(int32_t Index) const { return Index >= 1 && Index <= Count(); }
  bool RefusedByLock(const char16_t* operation) const;
  void AddUndo(int16_t kind, int32_t position, std::shared_ptr<clsMapFigure> figure = nullptr);
  void LogUndo(int16_t kind, int32_t position, std::shared_ptr<clsMapFigure> figure);
  void LogInsertions(int32_t position, int32_t count);
  void AddChanges(int32_t n);
  void InsertAt(int32_t Index, std::shared_ptr<clsMapFigure> figure);
  std::shared_ptr<clsMapFigure> TakeAt(int32_t Index);
  // The figure at Index (1 .. Count), made from its record when it is one.
  const std::shared_ptr<clsMapFigure>& FigureAt(int32_t Index) const;
  uint32_t StoreObject(std::shared_ptr<clsMapFigure> figure) const;
  void ReleaseSlot(uint32_t slot);
  void AppendFigure(std::shared_ptr<clsMapFigure> figure);
  bool RebuildKept(const std::function<bool(int32_t)>& keep);
  void CompactRecords();
  void ClearFigures();
  std::u16string WithModeExtension(const std::u16string& name) const;
  void ApplyFileName(const std::u16string& name);

  int32_t SearchHeaderLine(const std::u16string& sKey) const;
  std::u16string SearchHeader(const std::u16string& sKey) const;
  clsMapRem* RemarkAt(int32_t Index) const;

  // Map file (clsMap_file.cpp).
  struct LoadState;
  void RaiseProgress(int16_t& lastReported, int16_t p);
  void ReadHeader(BinaryReader& r, LoadState& s);
  bool ReadElement(BinaryReader& r, LoadState& s);
  bool TakeRectangle(const uint8_t* element);
  void ReadRectangleRun(BinaryReader& r, LoadState& s);
  void CountElement(BinaryReader& r, LoadState& s);
  void CountElementAt(int64_t position, LoadState& s);
  void ReadAllElements(BinaryReader& r, LoadState& s);
  int32_t LoadFigures(int32_t limit);
  int32_t EndLoadWithFailure(const FileFailure& f);
  int16_t VersionToWrite();
  void WriteFile(BinaryWriter& w, int16_t ver, int16_t& lastReported);
  void WriteElement(BinaryWriter& w, clsMapPolygon* rectangle, int32_t Index, int16_t ver);
  int32_t EndSaveWithFailure(const FileFailure& f);

  // Positions 1 .. Count; figure objects are made from records only on request.
  mutable std::vector<uint32_t> slots_;
  mutable std::vector<std::shared_ptr<clsMapFigure>> objects_;
  mutable std::vector<uint32_t> freeObjects_;
  RectangleArena records_;
  std::u16string fileName_ = u"BLANK.MLL";
  int32_t mapMode_ = 1;
  mutable int16_t version_ = 106;
  mutable int32_t changeCount_ = 0;
  bool lock_ = false;
  mutable std::u16string projectionName_;
  bool undoRecording_ = true;
  std::vector<UndoRecord> undoLog_;
};

// Walks the figures in order; each one is handed out as a reference to the live figure.
class clsMap::FigureIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = std::shared_ptr<clsMapFigure>;
  using difference_type = std::ptrdiff_t;
  using pointer = void;
  using reference = value_type;

  FigureIterator() = default;
  FigureIterator(const clsMap* map, int32_t index) : map_(map), index_(index) {}
  // By value: asking for another figure may move the stored references.
  std::shared_ptr<clsMapFigure> operator*() const { return map_->FigureAt(index_); }
  FigureIterator& operator++() {
    ++index_;
    return *this;
  }
  FigureIterator operator++(int) {
    FigureIterator old = *this;
    ++index_;
    return old;
  }
  bool operator==(const FigureIterator& o) const { return index_ == o.index_; }

 private:
  const clsMap* map_ = nullptr;
  int32_t index_ = 1;
};

class clsMap::FigureView {
 public:
  explicit FigureView(const clsMap& map) : map_(map) {}
  size_t size() const { return static_cast<size_t>(map_.Count()); }
  bool empty() const { return map_.Count() == 0; }
  std::shared_ptr<clsMapFigure> operator[](size_t i) const {
    return map_.FigureAt(static_cast<int32_t>(i) + 1);
  }
  FigureIterator begin() const { return map_.begin(); }
  FigureIterator end() const { return map_.end(); }

 private:
  const clsMap& map_;
};

inline clsMap::FigureView clsMap::MapCollection() const { return FigureView(*this); }
inline clsMap::FigureIterator clsMap::begin() const { return FigureIterator(this, 1); }
inline clsMap::FigureIterator clsMap::end() const { return FigureIterator(this, Count() + 1); }

}  // namespace picmap
