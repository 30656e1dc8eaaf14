// Reading and writing the binary map file: the header remark with the version, one element
// per figure, progress in steps of 4 per cent, time-stamped backups, and the failure handling
// through the file-error dialog, which may run a failed file statement again.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapRem.h"
#include "map/map_elements.h"
#include "support/binfile.h"
#include "support/errormng.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/stagedfile.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

constexpr int16_t kOldestVersion = 99;
constexpr int16_t kFirstHeaderedVersion = 100;
constexpr int16_t kNewestVersion = 106;
constexpr int16_t kFirstWritableVersion = 104;
constexpr int32_t kProgressEvery = 8;  // elements between progress reports while reading
constexpr char16_t kProjectionRemark[] = u"[投影条件]";
constexpr double kVersionSlack = 1e-9;  // "1.06" times 100 is not exactly 106 in binary

// Raises an error of the map reader with its message as the description.
[[noreturn]] void RaiseLoadError(int32_t number, const std::u16string& message) {
  try {
    throw Error(0, u"", u"");
  } catch (...) {
    RaiseError(number, u"clsMap", u"Load", message);
  }
}

// Passes an error the dialog decided to pass up to the caller, with this procedure's name.
[[noreturn]] void PassUp(const Error& e, const char16_t* procedure) {
  try {
    throw e;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsMap", procedure);
  }
}

// A failure outside any retried statement: the dialog is asked once; a retry cannot be
// offered there, so "retry" counts as giving up.
FileFailure FailureOfCurrentError(const std::u16string& file) {
  Error e = CurrentError();
  const int16_t decision = FileErrorDialog(e, file);
  return FileFailure{std::move(e), decision == 0 ? int16_t{1} : decision};
}

std::u16string VersionText(int16_t ver) { return DoubleToText(ver / 100.0); }

}  // namespace

void RaiseInvalidElement(const std::u16string& message, int32_t line, int32_t code) {
  RaiseLoadError(err::kMapElement, message + u"(Line:" + FromUtf8(std::to_string(line)) +
                                       u", Figure:" + FromUtf8(std::to_string(code)) + u")");
}

// The header is a remark in the layout before 1.04 whose comment ends in the version; a
// version 0.99 file starts instead with the projection remark, which is a figure of the map.
int16_t ReadMapFileHeader(BinaryReader& r, std::shared_ptr<clsMapRem>& projection) {
  int16_t version = 0;
  double v = 0;
  projection.reset();
  if (r.Remaining() >= 2 && r.Read<int16_t>() == 1) {
    auto header = std::make_shared<clsMapRem>();
    header->ReadElm(r, kOldestVersion);
    const std::u16string& comment = header->Comment();
    const std::u16string tail = comment.size() <= 4 ? comment : comment.substr(comment.size() - 4);
    double number = 0;
    if (TryTextToDouble(tail, number)) v = number * 100;
    if (v >= kFirstHeaderedVersion - kVersionSlack && v <= kNewestVersion + kVersionSlack) {
      version = CInt(v);
    } else if (comment == kProjectionRemark) {
      version = kOldestVersion;
      projection = header;
    }
    if (version >= kFirstWritableVersion) r.Read<int32_t>();  // the header's attribute word
  }
  if (version == 0) {
    if (v > kNewestVersion + kVersionSlack)
      RaiseLoadError(err::kMapVersion,
                     Tr("clsMap", "地図バージョンがアプリケーションの対応範囲を超えています."
                                  "アップグレードしてください."));
    RaiseLoadError(err::kMapVersion, Tr("clsMap", "地図バージョン確認不能"));
  }
  return version;
}

struct clsMap::LoadState {
  std::u16string file;
  int64_t length = 0;
  int16_t version = 0;
  int32_t elements = 0;
  int32_t limit = std::numeric_limits<int32_t>::max();  // the figures to read at most
  int16_t lastReported = -1;
};

void clsMap::RaiseProgress(int16_t& lastReported, int16_t p) {
  if (p <= lastReported) return;
  lastReported = p;
  if (Progress) Progress(p);
}

int32_t clsMap::Load() { return LoadFigures(std::numeric_limits<int32_t>::max()); }

int32_t clsMap::LoadHeader() { return LoadFigures(kHeaderLines); }

int32_t clsMap::LoadFigures(int32_t limit) {
  LoadState s;
  s.file = fileName_;
  s.limit = limit;
  if (!FileExists(s.file)) {
    ShowError(Tr("clsMap", "地図図形ファイルが存在しません.") + u"\r\n" + s.file);
    return err::kFileNotFound;
  }
  undoRecording_ = false;
  ResetUndo();
  LockMode(false);
  ClearFigures();
  BinaryReader reader;
  try {
    RetryFileStatement(s.file, [&] { reader.Open(s.file); });
    s.length = reader.Size();
    RetryFileStatement(s.file, [&] {
      reader.Seek(0);
      ReadHeader(reader, s);
    });
    // A converted map is mostly rectangles, with a few shorter remarks: room for a little
    // more than the file holds rectangles saves the figure table its copies while it grows
    // (room never used costs no memory).
    if (s.version >= kNewestVersion && s.limit == std::numeric_limits<int32_t>::max()) {
      const auto rectangles = static_cast<size_t>(s.length) / clsMapPolygon::kRectangleElement106;
      slots_.reserve(rectangles + rectangles / 16 + 64);
    }
    ReadAllElements(reader, s);
    reader.Close();
  } catch (const FileFailure& f) {
    reader.Close();
    return EndLoadWithFailure(f);
  } catch (...) {
    reader.Close();
    return EndLoadWithFailure(FailureOfCurrentError(s.file));
  }
  version_ = s.version;
  if (Progress) Progress(100);
  LockMode(IsReadOnlyFile(s.file, false));
  changeCount_ = 0;
  undoRecording_ = true;
  return 0;
}

void clsMap::ReadHeader(BinaryReader& r, LoadState& s) {
  std::shared_ptr<clsMapRem> projection;
  s.version = ReadMapFileHeader(r, projection);
  // The projection remark is a figure like any other: what the writer would refuse to read
  // back (an administrative number out of range, ...) is refused here too.
  if (projection && !projection->IsRight()) RaiseInvalidElement(Tr("clsMap", "不正な図形内容"), 0, 1);
  if (projection) AppendFigure(std::move(projection));
}

// Generated rectangles, the bulk of a converted map, are taken in runs straight from the
// read buffer; anything else goes element by element through the figures' own readers.
void clsMap::ReadAllElements(BinaryReader& r, LoadState& s) {
  const bool whole = s.limit == std::numeric_limits<int32_t>::max();
  for (;;) {
    if (s.elements >= s.limit) return;
    // Runs are taken a buffer at a time, past any limit: a limited load reads one by one.
    if (whole && s.version >= kNewestVersion) RetryFileStatement(s.file, [&] { ReadRectangleRun(r, s); });
    CountElement(r, s);
    const int64_t start = r.Position();
    const bool more = RetryFileStatement(s.file, [&] {
      if (r.Position() != start) r.Seek(start);  // a retry reads the element again
      return ReadElement(r, s);
    });
    if (!more) return;
  }
}

void clsMap::CountElement(BinaryReader& r, LoadState& s) { CountElementAt(r.Position(), s); }

// Counts the element that starts at `position`, reporting the progress every few elements.
void clsMap::CountElementAt(int64_t position, LoadState& s) {
  ++s.elements;
  if (s.elements % kProgressEvery == 0) {
    const int64_t p = (position + 1) * 25 / s.length * 4;
    RaiseProgress(s.lastReported, static_cast<int16_t>(std::min<int64_t>(p, 100)));
  }
}

// Decodes the rectangles in place in the read buffer, a buffer at a time, until an element
// that is no generated rectangle (or the end of the file).
void clsMap::ReadRectangleRun(BinaryReader& r, LoadState& s) {
  constexpr size_t kSize = clsMapPolygon::kRectangleElement106;
  // What was taken is passed over however the buffer's loop ends, so that a retry after an
  // error goes on from the next element.
  struct Taken {
    BinaryReader& reader;
    size_t bytes = 0;
    ~Taken() {
      reader.Skip(bytes);
      SkipFigureIds(bytes / kSize);  // the identifiers the new figures would have drawn
    }
  };
  for (;;) {
    size_t available = 0;
    const uint8_t* element = r.PeekRun(kSize, available);
    if (!element) return;
    Taken taken{r};
    while (taken.bytes + kSize <= available) {
      if (!TakeRectangle(element + taken.bytes)) return;
      const int64_t at = r.Position() + static_cast<int64_t>(taken.bytes);
      taken.bytes += kSize;
      CountElementAt(at, s);
    }
  }
}

// A generated rectangle's element straight into a record, without making its figure; false
// (nothing taken) for any other element, which its figure's reader then takes.
bool clsMap::TakeRectangle(const uint8_t* element) {
  if (records_.size() >= kRecordBit) return false;
  int16_t code;
  std::memcpy(&code, element, sizeof code);
  MapRectangle m;
  if (code != figcode::kPolygon || !clsMapPolygon::DecodeRectangle106(element + 2, m) ||
      !RectangleRight(m))
    return false;
  slots_.push_back(static_cast<uint32_t>(records_.push_back(m)) | kRecordBit);
  return true;
}

// One element; false at the end of the file (no complete figure code left).
bool clsMap::ReadElement(BinaryReader& r, LoadState& s) {
  if (r.Remaining() < 2) return false;
  const int16_t code = r.Read<int16_t>();
  std::shared_ptr<clsMapFigure> figure = CreateFigure(code);
  if (!figure) RaiseInvalidElement(Tr("clsMap", "不正な図形コード"), s.elements, code);
  figure->ReadElm(r, s.version);
  if (!figure->IsRight()) RaiseInvalidElement(Tr("clsMap", "不正な図形内容"), s.elements, code);
  AppendFigure(std::move(figure));
  return true;
}

int32_t clsMap::EndLoadWithFailure(const FileFailure& f) {
  ClearFigures();
  undoRecording_ = true;
  if (!f.PassUp()) return f.error.Number();
  PassUp(f.error, u"Load");
}

int32_t clsMap::Save() {
  if (!Modify() || slots_.empty()) return 0;
  const std::u16string file = fileName_;
  // Nothing is written, so the document stays modified and keeps its undo log.
  if (IsReadOnlyFile(file, true)) return err::kPermissionDenied;
  int16_t lastReported = -1;
  BinaryWriter w;  // gives up its temporary file on every way out but a commit
  try {
    undoRecording_ = false;
    const int16_t ver = VersionToWrite();
    LastDate(Now());
    RetryFileStatement(file, [&] { WriteFile(w, ver, lastReported); });
    RetryFileStatement(file, [&] { w.Commit(true); });
  } catch (const FileFailure& f) {
    return EndSaveWithFailure(f);
  } catch (...) {
    return EndSaveWithFailure(FailureOfCurrentError(file));
  }
  if (Progress) Progress(100);
  Modify(false);
  ResetUndo();
  undoRecording_ = true;
  return 0;
}

// The layouts before 1.04 cannot be read back in the form this writer gives them (their
// header has no attribute word), so such documents are written as 1.06.
int16_t clsMap::VersionToWrite() {
  if (Version() < kFirstWritableVersion) version_ = kNewestVersion;
  return version_;
}

// The whole file in one statement, into a temporary file beside the map: a retry starts
// again from an empty file, and the map file itself is only replaced once all is written.
void clsMap::WriteFile(BinaryWriter& w, int16_t ver, int16_t& lastReported) {
  w.OpenStaged(fileName_);
  NewRemark(u"Map File Version " + VersionText(ver))->WriteElm(w, kFirstWritableVersion);
  const auto n = static_cast<int64_t>(slots_.size());
  const std::unique_ptr<clsMapPolygon> rectangle = clsMapPolygon::Scratch();
  // The percentage (i * 25 / n * 4) is worked out only where it changes: a division per
  // element costs a save of a million rectangles a tenth of its time.
  int64_t nextStep = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (i == nextStep) {
      const int64_t quarter = i * 25 / n;
      RaiseProgress(lastReported, static_cast<int16_t>(std::min<int64_t>(quarter * 4, 100)));
      nextStep = ((quarter + 1) * n + 24) / 25;  // the first i with a larger i * 25 / n
    }
    WriteElement(w, rectangle.get(), static_cast<int32_t>(i + 1), ver);
  }
  w.Close();
}

// An element the file version cannot hold names its place in the map, as the reader does.
// A rectangle record is written through the scratch polygon, the way its figure writes.
void clsMap::WriteElement(BinaryWriter& w, clsMapPolygon* rectangle, int32_t Index, int16_t ver) {
  const uint32_t slot = slots_[static_cast<size_t>(Index - 1)];
  clsMapFigure* figure = (slot & kRecordBit) ? nullptr : objects_[slot].get();
  MapRectangle* record = (slot & kRecordBit) ? &records_[slot & ~kRecordBit] : nullptr;
  if (record && ver >= kNewestVersion) {
    clsMapPolygon::EncodeRectangle106(*record, w.Claim(clsMapPolygon::kRectangleElement106));
    record->modified = false;
    return;
  }
  if (record) {
    rectangle->AssignRectangle(*record);
    figure = rectangle;
  }
  try {
    figure->WriteElm(w, ver);
  } catch (Error& e) {
    if (e.Number() != err::kMapElement) throw;
    e.SetDescription(e.Description() + u"(Line:" + FromUtf8(std::to_string(Index)) +
                     u", Figure:" + FromUtf8(std::to_string(figure->FigCode())) + u")");
    throw;
  }
  if (record) record->modified = false;  // as WriteElm leaves a figure
}

int32_t clsMap::EndSaveWithFailure(const FileFailure& f) {
  undoRecording_ = true;
  if (!f.PassUp()) return f.error.Number();
  PassUp(f.error, u"Save");
}

}  // namespace picmap
