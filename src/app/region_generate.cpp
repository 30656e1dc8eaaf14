// Generation from a cleaned picture, and generation of regions instead of rectangles.
#include "app/cleanup.h"
#include "app/frm_main.h"
#include "app/region_map.h"
#include "map/clsMap.h"
#include "map/converter_header.h"
#include "support/errors.h"

namespace picmap {

// The clean-up and the tracing of regions run in stages of a few seconds on a large picture:
// between them the window shows how far it got and takes a request to stop.
void frmMainLogic::CleanupStageDone() {
  window_.SetProgressValue(++cleanupStage_);
  CleanupStepDone();
}

// Within a long stage the window still answers, and a stop is taken a step later.
void frmMainLogic::CleanupStepDone() {
  EventsIfDue();
  if (state_.cancelRequest)
    throw Error(err::kInvalidCall, u"frmMain.CleanupStageDone", u"stopped at the user's request");
}

void frmMainLogic::StartCleanupStages() {
  cleanupStage_ = 0;
  const int sides = state_.east <= state_.west ? 2 : 1;  // across 180° each side is traced apart
  const int stages = (cleanup_.ChangesPicture() ? kCleanupStages : 0) + (cleanup_.regions ? kTraceStages * sides : 0);
  if (stages == 0) return;
  window_.SetProgressMax(stages);
  window_.SetProgressValue(0);
  lastEvents_ = {};  // the first stage lets the window draw the progress bar
}

const Picture& frmMainLogic::CleanedPicture(const Picture& source, Picture& store) {
  cleanupReport_ = {};
  StartCleanupStages();
  if (!cleanup_.ChangesPicture()) return source;
  try {
    store = CleanPicture(source, cleanup_, state_.backColor, &cleanupReport_, [this] { CleanupStageDone(); },
                         [this] { CleanupStepDone(); });
  } catch (const Error& e) {
    refusal_ = e.Description();
    window_.SetProgressValue(0);
    throw;
  }
  return store;
}

// Regions are traced in one go: the map holds the header, the regions and the closing
// remarks, or (refused) nothing.
bool frmMainLogic::MakeRegions(const Picture& pic, int32_t eastWrapped, double pw, double ph,
                               int32_t mask) {
  ConversionState& s = state_;
  if (!s.oMap) AttachMap(std::make_shared<clsMap>());
  s.oMap->MapMode(1);
  AddHeaderRemarks();
  RegionPlacement at;
  at.west = s.west;
  at.eastWrapped = eastWrapped;
  at.north = s.north;
  at.pw = pw;
  at.ph = ph;
  at.background = s.backColor;
  at.toneMask = mask;
  at.thing = s.imagePolygonThing;
  at.tolerance = cleanup_.simplify;
  at.smooth = cleanup_.smooth;
  try {
    lastRegions_ = AddRegionFigures(*s.oMap, pic, at, [this] { CleanupStageDone(); });
  } catch (...) {
    s.oMap->Clear();
    window_.SetProgressValue(0);
    throw;
  }
  window_.SetProgressValue(0);
  AddRemarks(*s.oMap, ConverterClosingLines());
  return true;
}

}  // namespace picmap
