// Saving: the map file and, beside it under the same base name, the thing file.
#include <string>

#include "app/frm_main.h"
#include "map/clsMap.h"
#include "map/clsMapRem.h"
#include "map/converter_header.h"
#include "map/layer_style.h"
#include "support/angle.h"
#include "support/errormng.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/platform.h"
#include "support/stagedfile.h"
#include "things/clsThings.h"

namespace picmap {

namespace {

// Header lines are searched among the first figures only, as the map document does.
constexpr int32_t kHeaderSearchLimit = 50;

struct NameLine {
  const char16_t* key;
  const char16_t* prefix;
  const char16_t* suffix;
};
constexpr NameLine kNameLines[] = {
    {u"欧文地図名", u"# 欧文地図名　　　：", u""},
    {u"地図ファイル名", u"# 地図ファイル名　：", u".MLL"},
    {u"事象ファイル名", u"# 事象ファイル名　：", u".THG"},
};

std::shared_ptr<clsMapRem> FindHeaderLine(clsMap& map, const std::u16string& key) {
  const int32_t last = std::min(map.Count(), kHeaderSearchLimit);
  for (int32_t i = 1; i <= last; ++i) {
    if (map.FigCode(i) != figcode::kRemark) continue;
    auto rem = std::dynamic_pointer_cast<clsMapRem>(map.Item(i));
    if (rem && !rem->Key().empty() && EqualsIgnoringCase(rem->Key(), key)) return rem;
  }
  return nullptr;
}

}  // namespace

// A map keeps the extents it was generated on: saved after the extents moved, it would not lie
// where the window now shows the picture.
bool frmMainLogic::MaySaveOnOldExtents() {
  if (!generatedOn_) return true;
  const Placement now = CurrentPlacement();
  if (now.west == generatedOn_->west && now.east == generatedOn_->east && now.north == generatedOn_->north &&
      now.south == generatedOn_->south)
    return true;
  const std::u16string question =
      Arg(Tr("frmMain", "地図は生成したときの範囲 (%1 – %2, %3 – %4) のままです. その後に変えた範囲は地図に入っていません.\r\n"
                        "このまま保存しますか? (いまの範囲で保存するには生成し直してください.)"),
          {LonToStr(generatedOn_->west), LonToStr(generatedOn_->east), LatToStr(generatedOn_->north),
           LatToStr(generatedOn_->south)});
  return window_.AskYesNoCancel(question) == MsgAnswer::Yes;
}

void frmMainLogic::mnuSave_Click() {
  lastSaveOk_ = false;
  if (!MaySaveOnOldExtents()) return;
  const std::u16string caption = window_.Caption();
  bool busy = false;
  try {
    FileDialogRequest request;
    request.title = Tr("frmMain", "地図ファイル名を指定する");
    request.fileName = state_.oMap->FileName();
    request.filter = frmtext::kMapFilter;
    const std::optional<std::u16string> chosen = window_.SaveFileDialog(request);
    if (!chosen) throw Error(err::kClassDefault, u"frmMain.mnuSave_Click/", u"cancelled");
    if (chosen->empty()) return;
    state_.oMap->FileName(*chosen);
    // Through a link, the thing and style files go beside the linked map, where it is read.
    state_.oMap->FileName(LinkTarget(state_.oMap->FileName()));
    state_.things->FileName(state_.oMap->FileName());
    if (!RenameHeaderRemarks(state_.oMap->FileName()))
      throw Error(err::kClassDefault, u"frmMain.mnuSave_Click/", u"header");
    ScreenMousePointer(pointer::kHourglass);
    window_.SetCaption(caption + Tr("frmMain", "   [保存中...]"));
    window_.SetProgressMax(100);
    busy = true;
    const bool ok = WriteMapAndThings();
    window_.SetCaption(caption);
    ScreenMousePointer(-1);
    busy = false;
    lastSaveOk_ = ok;
    if (ok) mapUnsaved_ = false;
    if (ok) window_.Message(frmtext::kSaveDone, false);
  } catch (...) {
    if (busy) {
      window_.SetCaption(caption);
      ScreenMousePointer(-1);
    }
    window_.Message(frmtext::kSaveFailed, true);
  }
}

// The map's own file name already carries ".MLL", so the base name is never cut from a name
// typed without extension, and the lines are found by their keys, so a second save (after
// the map has inserted its last-update line) rewrites the same three lines again.
bool frmMainLogic::RenameHeaderRemarks(const std::u16string& mapFile) {
  const std::u16string base = MapBaseName(mapFile);
  if (base.empty()) return false;
  std::shared_ptr<clsMapRem> lines[3];
  for (int n = 0; n < 3; ++n) {
    lines[n] = FindHeaderLine(*state_.oMap, kNameLines[n].key);
    if (!lines[n]) return false;
  }
  for (int n = 0; n < 3; ++n)
    lines[n]->Comment(kNameLines[n].prefix + base + kNameLines[n].suffix);
  return true;
}

// The map, its thing file and its QGIS style file are saved as one: all are written beside their
// targets first and put in place only when all are whole; when one cannot be put in place, the
// ones before it go back. Failures of writing are reported by the map and the catalogue.
bool frmMainLogic::WriteMapAndThings() {
  lastKeptBackups_.clear();
  SaveTransaction both;
  if (!keepBackups_) both.KeepNoBackups();
  if (state_.oMap->Save() != 0) return false;
  if (state_.things->Save() != 0) {
    state_.oMap->Modify(true);
    return false;
  }
  try {
    WriteQgisStyleBeside(state_.oMap->FileName());
    both.Complete();
  } catch (...) {
    state_.oMap->Modify(true);
    state_.things->Modify(true);
    FileErrorDialog(CurrentError(), both.FailedTarget());
    return false;
  }
  lastKeptBackups_ = both.KeptBackups();
  return true;
}

}  // namespace picmap
