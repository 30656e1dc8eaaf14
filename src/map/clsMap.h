// clsMap: the map document. An ordered list of figures (1-based positions) with the state of
// the whole map: file name, coordinate mode, file version, lock, change count and an undo log
// that reverts every change since it was last emptied. Facts about the whole map live in
// header remark lines ("# key：value") among the first 50 figures. Load and Save read and
// write the binary map file and report their progress through `Progress`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "map/clsMapFigure.h"
#include "support/platform.h"

namespace picmap {

class BinaryReader;
class BinaryWriter;
class clsMapRem;
struct FileFailure;

class clsMap {
 public:
  using FigureList = std::vector<std::shared_ptr<clsMapFigure>>;

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
  int32_t Count() const { return static_cast<int32_t>(figures_.size()); }
  const FigureList& MapCollection() const { return figures_; }
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
  FigureList::const_iterator begin() const { return figures_.begin(); }
  FigureList::const_iterator end() const { return figures_.end(); }

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

  // 0 on success, 53 for a missing file, otherwise the number of the failure (or the
  // failure is passed up, as the file-error dialog decides).
  int32_t Load();
  // 0 on success and when there is nothing to save, 70 for a read-only file.
  int32_t Save();

 private:
  struct UndoRecord {
    int16_t kind;  // 1 inserted at position, 2 removed from position
    int32_t position;
    std::shared_ptr<clsMapFigure> figure;  // the removed figure (kind 2)
  };
  static constexpr int16_t kInserted = 1;
  static constexpr int16_t kRemoved = 2;

  bool InBound(int32_t Index) const { return Index >= 1 && Index <= Count(); }
  bool RefusedByLock(const char16_t* operation) const;
  void AddUndo(int16_t kind, int32_t position, std::shared_ptr<clsMapFigure> figure = nullptr);
  void AddChanges(int32_t n);
  void InsertAt(int32_t Index, std::shared_ptr<clsMapFigure> figure);
  std::shared_ptr<clsMapFigure> TakeAt(int32_t Index);
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
  void ReadAllElements(BinaryReader& r, LoadState& s);
  int32_t EndLoadWithFailure(const FileFailure& f);
  int16_t VersionToWrite();
  void WriteFile(BinaryWriter& w, int16_t ver, int16_t& lastReported);
  void WriteElement(BinaryWriter& w, int32_t Index, int16_t ver);
  int32_t EndSaveWithFailure(const FileFailure& f);

  FigureList figures_;
  std::u16string fileName_ = u"BLANK.MLL";
  int32_t mapMode_ = 1;
  mutable int16_t version_ = 106;
  mutable int32_t changeCount_ = 0;
  bool lock_ = false;
  mutable std::u16string projectionName_;
  bool undoRecording_ = true;
  std::vector<UndoRecord> undoLog_;
};

}  // namespace picmap
