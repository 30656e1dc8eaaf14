// Start-up, closing, picture opening, extents, colour and tone settings, status labels.
#include "app/frm_main.h"

#include <string>

#include "app/picture_loader.h"
#include "app/program_folder.h"
#include "app/raster_picture.h"
#include "app/world_file.h"
#include "map/clsMap.h"
#include "support/angle.h"
#include "support/colorlib.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/platform.h"
#include "support/text.h"
#include "things/clsThings.h"

namespace picmap {

namespace {

std::u16string Dec(int64_t n) { return FromUtf8(std::to_string(n)); }

constexpr int32_t kFullSpan = 1296000;

}  // namespace

frmMainLogic::frmMainLogic(WindowPort& window) : window_(window) {}

frmMainLogic::~frmMainLogic() {
  if (state_.oMap) state_.oMap->Progress = nullptr;
}

// ---- Start-up and closing ----

bool frmMainLogic::Form_Load() {
  SetScaleBounds(kMinScaleDefault, kMaxScaleDefault);
  state_.backColor = -1;
  const ProgramInfo& info = Program();
  caption_ = std::u16string(frmtext::kCaption) + Dec(info.major) + u"." + Dec(info.minor) + u"." +
             Dec(info.revision);
  window_.SetCaption(caption_);
  window_.MoveWindow(DivL(window_.ScreenWidth() - window_.WindowWidth(), 2),
                     DivL(window_.ScreenHeight() - window_.WindowHeight(), 4));
  for (Menu m : {Menu::mnuSave, Menu::mnuPolygon, Menu::mnuCompress, Menu::mnuCancel})
    window_.SetMenuEnabled(m, false);

  auto things = std::make_shared<clsThings>();
  things->FileName(templateThings_.empty() ? TemplateThingFile(info.folder) : templateThings_);
  if (things->Load() != 0) {
    window_.Message(things->FileName() + u"\r\n" + Tr("frmMain", "の読み込みに失敗しました."), true);
    window_.EndProgram();
    return false;
  }
  const int16_t thing = things->Search(frmtext::kImagePolygon);
  if (thing < 0) {
    window_.Message(things->FileName() + u"\r\n" + Tr("frmMain", "に、事象 [画像ポリゴン] がありません."), true);
    window_.EndProgram();
    return false;
  }
  state_.things = std::move(things);
  state_.imagePolygonThing = thing;

  AttachMap(std::make_shared<clsMap>());
  state_.oMap->FileName(TemplateMapFile(info.folder));
  mnuWorld_Click();
  return true;
}

void frmMainLogic::AttachMap(std::shared_ptr<clsMap> map) {
  if (state_.oMap) state_.oMap->Progress = nullptr;
  state_.oMap = std::move(map);
  state_.oMap->Progress = [this](int16_t parcent) { oMap_Progress(parcent); };
}

// A large map would take long to release figure by figure; the process simply ends.
void frmMainLogic::Form_Unload() {
  if (state_.oMap && state_.oMap->Count() >= 10000) window_.ExitProcessNow(0);
}

void frmMainLogic::mnuQuit_Click() { window_.CloseWindow(); }

bool frmMainLogic::Form_QueryUnload() { return MayDropMap() && MayDropControlPoints(); }

// Yes saves (and keeps everything when the save is cancelled or fails), No drops the map.
bool frmMainLogic::MayDropMap() {
  if (!mapUnsaved_) return true;
  switch (window_.AskYesNoCancel(frmtext::kMapUnsaved)) {
    case MsgAnswer::Yes:
      mnuSave_Click();
      return lastSaveOk_;
    case MsgAnswer::No:
      return true;
    default:
      return false;
  }
}

namespace {

// What a points file holds: the transformation chosen is not written there.
bool SamePointsAsInFile(const ControlPointState& now, const ControlPointState* inFile) {
  if (!inFile || now.set.points.size() != inFile->set.points.size()) return false;
  for (size_t i = 0; i < now.set.points.size(); ++i) {
    const ControlPoint &a = now.set.points[i], &b = inFile->set.points[i];
    if (a.pixelX != b.pixelX || a.pixelY != b.pixelY || a.mapX != b.mapX || a.mapY != b.mapY ||
        a.enabled != b.enabled)
      return false;
  }
  return true;
}

}  // namespace

bool frmMainLogic::MayDropControlPoints() {
  if (!points_ || points_->set.points.empty() || SamePointsAsInFile(*points_, pointsInFile_.get())) return true;
  switch (window_.AskYesNoCancel(frmtext::kPointsUnsaved)) {
    case MsgAnswer::Yes: return SaveControlPoints();
    case MsgAnswer::No: return true;
    default: return false;
  }
}

// ---- Undo and lock ----

Placement frmMainLogic::CurrentPlacement() const {
  return {state_.west, state_.east, state_.north, state_.south, points_, own_};
}

// Other control points show the picture warped by their fit; the extents are then the ones
// the placement had, exactly.
void frmMainLogic::SetPlacement(const Placement& p) {
  const bool pointsChanged = p.points != points_, ownChanged = p.own != own_;
  own_ = p.own;
  if (pointsChanged) {
    points_ = p.points;
    FitAndWarp();
  } else if (ownChanged && !fit_) {
    ShowOwnPlacementOrOriginal();
  }
  state_.west = p.west;
  state_.east = p.east;
  state_.north = p.north;
  state_.south = p.south;
  if (ownChanged) {  // the picture shown is another, and so may be its size
    state_.pictureLoaded = window_.SourceWidth() >= 16 && window_.SourceHeight() >= 16;
    window_.SetMenuEnabled(Menu::mnuPolygon, state_.pictureLoaded);
  }
  if (pointsChanged || fit_) window_.ControlPointsChanged();
}

void frmMainLogic::PlacementChanged(const Placement& before) {
  history_.Changed(before, CurrentPlacement());
  ShowUndoState();
  if (fit_) window_.ControlPointsChanged();  // the fit's status speaks of the extents too
}

void frmMainLogic::ShowUndoState() { window_.SetUndoState(history_.CanUndo(), history_.CanRedo()); }

void frmMainLogic::mnuUndo_Click() {
  EndDrag();
  Placement p = CurrentPlacement();
  if (!history_.Undo(p)) return;
  SetPlacement(p);
  ShowUndoState();
  ShowStatus();
  DrawPreview();
}

void frmMainLogic::mnuRedo_Click() {
  EndDrag();
  Placement p = CurrentPlacement();
  if (!history_.Redo(p)) return;
  SetPlacement(p);
  ShowUndoState();
  ShowStatus();
  DrawPreview();
}

void frmMainLogic::SetPlacementLocked(bool locked) {
  EndDrag();
  locked_ = locked;
  state_.drag.mode = 0;
  window_.SetPreviewPointer(pointer::kDefault);
}

// ---- Opening a picture ----

int32_t FilterIndexFor(const std::u16string& filter, const std::u16string& path) {
  const size_t dot = path.rfind(u'.');
  if (dot == std::u16string::npos) return 1;
  const size_t at = FindIgnoringCase(filter, path.substr(dot));
  if (at == 0) return 1;
  int32_t bars = 0;
  for (size_t i = 0; i + 1 < at; ++i)
    if (filter[i] == u'|') ++bars;
  return bars / 2 + 1;
}

std::u16string frmMainLogic::InputLoadName(const std::u16string& sTitle,
                                           const std::u16string& sFilter,
                                           const std::u16string& sPath) {
  FileDialogRequest request;
  request.title = sTitle.empty() ? Tr("frmMain", "ファイルを開く") : sTitle;
  request.fileName = sPath;
  request.filter = sFilter;
  request.filterIndex = FilterIndexFor(sFilter, sPath);
  std::optional<std::u16string> chosen;
  try {
    chosen = window_.OpenFileDialog(request);
  } catch (...) {
    chosen.reset();  // a failing dialog counts as cancelled
  }
  window_.Refresh();
  return chosen.value_or(u"");
}

int32_t frmMainLogic::InputColor(int32_t rgbCol) {
  std::optional<int32_t> chosen;
  try {
    chosen = window_.ColorDialog(rgbCol);
  } catch (...) {
    chosen.reset();
  }
  window_.Refresh();
  return chosen && IsColorValue(*chosen) ? *chosen : -1;
}

void frmMainLogic::mnuOpen_Click() {
  const std::u16string path =
      InputLoadName(Tr("frmMain", "画像ファイル"), frmtext::kPictureFilter + frmtext::kRasterFilter,
                    window_.PictureFolder() + u"/*.PNG");
  if (!path.empty()) LoadPictureFile(path);
}

// Everything the window shows becomes the new picture's, even for a picture too small to
// convert: a preview, labels or a figure count left from the previous picture would be taken
// for this one's.
void frmMainLogic::LoadPictureFile(const std::u16string& path) {
  if (!MayDropMap() || !MayDropControlPoints()) return;
  if (!window_.LoadSourcePicture(path, LoaderForPath(path))) {
    window_.Message(path + u"\r\n" + PictureProblem(path), true);
    return;
  }
  // The map in memory belongs to the previous picture: saving it under this picture's name,
  // or compressing it as if it were this one's, would mislead.
  state_.oMap->Clear();
  mapUnsaved_ = false;
  // Placements and control points belong to the picture they were made for.
  original_ = window_.SourcePicture();
  points_.reset();
  pointsInFile_.reset();
  fit_.reset();
  own_.reset();
  shownWarp_.reset();
  generatedOn_.reset();
  fitStatus_.clear();
  clickHint_.clear();
  pending_.reset();
  markDrag_.reset();
  history_.Clear();
  ShowUndoState();
  window_.ControlPointsChanged();
  state_.oMap->FileName(path);
  state_.picturePath = path;
  state_.pictureShown = true;
  const int32_t w = window_.SourceWidth(), h = window_.SourceHeight();
  state_.pictureLoaded = w >= 16 && h >= 16;
  // The picture open now, not every one opened before it.
  window_.SetCaption(caption_ + u" - " + path);
  window_.SetMenuEnabled(Menu::mnuPolygon, state_.pictureLoaded);
  window_.SetMenuEnabled(Menu::mnuCompress, false);
  window_.SetMenuEnabled(Menu::mnuSave, false);
  ShowStatus();
  DrawPreview();
  if (!state_.pictureLoaded) {
    window_.Message(path + u"\r\n" + TooSmallText(w, h), true);
    return;
  }
  lastPlacement_.reset();
  if (!placeRastersOnOpening_) return;
  // A picture of the window's own formats takes the edges as they stand, unless a world file
  // in a projected CRS beside it says where it lies: stretched into those edges unwarped, it
  // would lie wrong without a word.
  if (IsQtPictureFile(path)) {
    if (const std::optional<Georeference> own = ProjectedWorldFile(path)) PlaceByGeoreference(*own);
    return;
  }
  try {
    // Control points set in the window still take the pixels of the raster as it is in its
    // file, as picmap-cli convert --gcp does, so a .points file serves both.
    if (const std::optional<Georeference> own = GeoreferenceOfFile(path)) PlaceByGeoreference(*own);
  } catch (const Error& e) {  // control points in the file that cannot place it
    window_.Message(path + u"\r\n" + e.Description(), true);
  }
}

std::u16string TooSmallText(int32_t width, int32_t height) {
  return Arg(Tr("frmMain", "画像が小さすぎます: %1x%2ピクセル (16x16ピクセル以上が必要です)."),
             {Dec(width), Dec(height)});
}

// ---- Extents ----

void frmMainLogic::mnuWorld_Click() {
  const Placement before = CurrentPlacement();
  state_.west = -648000;
  state_.east = 648000;
  state_.north = 324000;
  state_.south = -324000;
  PlacementChanged(before);
  ShowStatus();
  DrawPreview();
}

bool frmMainLogic::mnuWorldFile_Click() {
  if (!state_.pictureShown) {
    window_.Message(frmtext::kWorldFileNoPicture, true);
    return false;
  }
  // A warp by the world file is a step of its own: undone, the picture shown before comes back.
  const Placement before = CurrentPlacement();
  const auto warpAsAStep = [&](const Georeference& georef) {
    if (!PlaceByGeoreference(georef)) return false;
    PlacementChanged(before);
    return true;
  };
  // In a projected CRS's units, the world file places the picture through the CRS.
  if (const std::optional<Georeference> own = ProjectedWorldFile(state_.picturePath)) return warpAsAStep(*own);
  try {
    if (const std::optional<Georeference> turned =
            RotatedWorldFile(state_.picturePath, original_.width, original_.height))
      return warpAsAStep(*turned);
  } catch (const Error& e) {
    window_.Message(state_.picturePath + u"\r\n" + e.Description(), true);
    return false;
  }
  const WorldFileResult r =
      ExtentsForPicture(state_.picturePath, window_.SourceWidth(), window_.SourceHeight());
  if (!r.extents) {
    window_.Message(r.message, true);
    return false;
  }
  state_.west = r.extents->west;
  state_.east = r.extents->east;
  state_.north = r.extents->north;
  state_.south = r.extents->south;
  PlacementChanged(before);
  ShowStatus();
  DrawPreview();
  return true;
}

bool frmMainLogic::PlaceByGeoreference(const Georeference& georef, const WarpLimits& limits) {
  if (!state_.pictureShown) {
    window_.Message(frmtext::kWorldFileNoPicture, true);
    return false;
  }
  try {
    // The picture as opened: the one shown may be a warp already.
    PlacedPicture placed = PlaceOnLonLatGrid(original_, georef, limits);
    window_.ReplaceSourcePicture(placed.picture);
    state_.west = placed.west;
    state_.east = placed.east;
    state_.north = placed.north;
    state_.south = placed.south;
    own_ = std::make_shared<const OwnPlacement>(OwnPlacement{placed, InLonLat(georef)});
    shownWarp_ = own_->inLonLat;
    warpedOnto_ = CurrentPlacement();
    state_.pictureLoaded = placed.picture.width >= 16 && placed.picture.height >= 16;
    window_.SetMenuEnabled(Menu::mnuPolygon, state_.pictureLoaded);
    placed.picture = Picture();  // the window holds the pixels; the report needs the numbers
    lastPlacement_ = placed;
  } catch (const Error& e) {
    window_.Message(state_.picturePath + u"\r\n" + e.Description(), true);
    return false;
  }
  ShowStatus();
  DrawPreview();
  return true;
}

EdgeEntry frmMainLogic::mnuWest_Click() { return EnterEdge(Edge::West); }
EdgeEntry frmMainLogic::mnuEast_Click() { return EnterEdge(Edge::East); }
EdgeEntry frmMainLogic::mnuNorth_Click() { return EnterEdge(Edge::North); }
EdgeEntry frmMainLogic::mnuSouth_Click() { return EnterEdge(Edge::South); }

EdgeEntry frmMainLogic::EnterEdge(Edge edge) {
  std::u16string prompt, current;
  switch (edge) {
    case Edge::West:
      prompt = Tr("frmMain", "画像左端の経度を入力してください.");
      current = LonToStr(state_.west);
      break;
    case Edge::East:
      prompt = Tr("frmMain", "画像右端の経度を入力してください.");
      current = LonToStr(state_.east);
      break;
    case Edge::North:
      prompt = Tr("frmMain", "画像上端の緯度を入力してください.");
      current = LatToStr(state_.north);
      break;
    case Edge::South:
      prompt = Tr("frmMain", "画像下端の緯度を入力してください.");
      current = LatToStr(state_.south);
      break;
  }
  const std::u16string answer = window_.InputBox(prompt, current);
  if (answer.empty()) return EdgeEntry::Cancelled;
  int32_t value = 0;
  try {
    const std::u16string formal = AngleFormalStr(answer);
    if (formal.empty()) return RefuseEdge(EdgeEntry::Unreadable, answer, edge, 0);
    value = AngleSecStrToVal(formal);
  } catch (...) {
    return RefuseEdge(EdgeEntry::Unreadable, answer, edge, 0);  // the edge stays as it was
  }
  if (!TakeLetterInFront(answer, edge, value)) return EdgeEntry::Cancelled;
  if (!AcceptsEdge(edge, value)) return RefuseEdge(EdgeEntry::OutOfRange, answer, edge, value);
  const Placement before = CurrentPlacement();
  StoreEdge(edge, value);
  PlacementChanged(before);
  ShowStatus();
  DrawPreview();
  return EdgeEntry::Stored;
}

// "36.5S" reads as 36.5″ north, though it is mostly typed meaning 36.5° south: the user is asked
// which. False when the question is cancelled.
bool frmMainLogic::TakeLetterInFront(const std::u16string& answer, Edge edge, int32_t& value) {
  const std::optional<int32_t> meant = LetterInFrontReading(answer);
  if (!meant) return true;
  const bool longitude = edge == Edge::West || edge == Edge::East;
  auto text = [&](int32_t v) { return longitude ? LonToStr(v) : LatToStr(v); };
  const std::u16string letter(1, static_cast<char16_t>(std::toupper(TrimText(answer).back())));
  const std::u16string question =
      Arg(Tr("frmMain", "「%1」は %2 と読めます (数の後の %3 は秒を表します).\r\n%4 のことですか?"),
          {answer, text(value), letter, text(*meant)});
  switch (window_.AskYesNoCancel(question)) {
    case MsgAnswer::Yes: value = *meant; return true;
    case MsgAnswer::No: return true;
    default: return false;
  }
}

// Tells why an entered edge was not taken; the edge stays as it was.
EdgeEntry frmMainLogic::RefuseEdge(EdgeEntry why, const std::u16string& answer, Edge edge,
                                   int32_t value) {
  std::u16string message;
  if (why == EdgeEntry::Unreadable) {
    message = Tr("frmMain", "「%1」を角度として読み取れません.");
  } else if (edge == Edge::West || edge == Edge::East) {
    message = Tr("frmMain",
                 "「%1」は範囲外です. 経度は W180°00′00″ から E180°00′00″ の間で入力してください.");
  } else if (value > kQuarterTurn || value < -kQuarterTurn) {
    message = Tr("frmMain",
                 "「%1」は範囲外です. 緯度は S90°00′00″ から N90°00′00″ の間で入力してください.");
  } else {
    message = Tr("frmMain", "「%1」は範囲外です. 上端の緯度は下端の緯度より30″以上北にしてください.");
  }
  window_.Message(Arg(message, {answer}), true);
  return why;
}

// North and south stay at least 30″ apart; west and east may come in either order.
bool frmMainLogic::AcceptsEdge(Edge edge, int32_t value) const {
  switch (edge) {
    case Edge::West:
    case Edge::East:
      return value >= -648000 && value <= 648000;
    case Edge::North:
      return int64_t{value} >= int64_t{state_.south} + 30 && value <= 324000;
    case Edge::South:
      return value >= -324000 && int64_t{value} <= int64_t{state_.north} - 30;
  }
  return false;
}

void frmMainLogic::StoreEdge(Edge edge, int32_t value) {
  switch (edge) {
    case Edge::West: state_.west = value; break;
    case Edge::East: state_.east = value; break;
    case Edge::North: state_.north = value; break;
    case Edge::South: state_.south = value; break;
  }
}

// ---- Colour and tone ----

void frmMainLogic::mnuBackColor_Click() {
  state_.backColor = InputColor(state_.backColor);
  ShowStatus();
}

void frmMainLogic::picBackColor_Click() { mnuBackColor_Click(); }

void frmMainLogic::mnuTone_Click() {
  for (int16_t i = 0; i < kToneItemCount; ++i) window_.SetToneItemChecked(i, false);
  window_.SetToneItemChecked(state_.toneIndex, true);
}

void frmMainLogic::mnuToneItem_Click(int16_t Index) {
  if (Index >= 0 && Index < kToneItemCount) state_.toneIndex = Index;
}

// ---- Status ----

void frmMainLogic::oMap_Progress(int16_t parcent) { window_.SetProgressValue(parcent); }

void frmMainLogic::ShowStatus() {
  ShowAreaInfo();
  ShowBackColor();
  ShowFigureCount();
}

// Spans are never negative, so the sign that the angle text carries is left out.
std::u16string frmMainLogic::SpanText(int32_t sec) const {
  std::u16string s = AngleSpanStr(sec);
  if (!s.empty() && s[0] == u'+') s.erase(0, 1);
  return s;
}

void frmMainLogic::ShowAreaInfo() {
  window_.SetLabelText(Label::lblWest, Tr("frmMain", "西端経度：") + LonToStr(state_.west));
  window_.SetLabelText(Label::lblEast, Tr("frmMain", "東端経度：") + LonToStr(state_.east));
  window_.SetLabelText(Label::lblNorth, Tr("frmMain", "北端緯度：") + LatToStr(state_.north));
  window_.SetLabelText(Label::lblSouth, Tr("frmMain", "南端緯度：") + LatToStr(state_.south));
  int64_t t = int64_t{state_.east} - state_.west;
  if (t <= 0) t += kFullSpan;
  const auto lonSpan = static_cast<int32_t>(t);
  const auto latSpan = static_cast<int32_t>(std::abs(int64_t{state_.north} - state_.south));
  const std::u16string lonText = lonSpan == kFullSpan ? u"360°00′00″" : SpanText(lonSpan);
  window_.SetLabelText(Label::lblMapSize,
                       Tr("frmMain", "地図化領域サイズ：") + u"\r\n" + lonText + u"x" + SpanText(latSpan));
  if (!state_.pictureShown) return;
  const int32_t w = window_.SourceWidth(), h = window_.SourceHeight();
  window_.SetLabelText(Label::lblImgSize,
                       Tr("frmMain", "画像ピクセル数：") + u"\r\n" + Dec(w) + u"x" + Dec(h));
  if (w < 1 || h < 1) return;
  window_.SetLabelText(Label::lblPixelSize, Tr("frmMain", "ピクセルサイズ：") + u"\r\n" +
                                                SpanText(lonSpan / w) + u"x" + SpanText(latSpan / h));
}

void frmMainLogic::ShowBackColor() {
  if (state_.backColor == -1) {
    window_.SetLabelText(Label::lblBackColor1, Tr("frmMain", "色コード：(未設定)"));
    window_.SetSwatchColor(kSwatchButtonFace);
  } else {
    window_.SetLabelText(Label::lblBackColor1,
                         Tr("frmMain", "色コード：BBGGRR = ") + ColorCodeStr(state_.backColor) +
                             u" (" + HtmlColorStr(state_.backColor) + u")");
    window_.SetSwatchColor(state_.backColor);
  }
}

void frmMainLogic::ShowFigureCount() {
  if (state_.oMap)
    window_.SetLabelText(Label::lblFigureNum, Tr("frmMain", "図形総数：") + Dec(state_.oMap->Count()));
}

// ---- Pending events ----

// The loops ask for every pixel; the window only runs its events when enough time has passed,
// and the clock is read only every 16th request so the request itself costs next to nothing.
void frmMainLogic::EventsIfDue() {
  if (eventInterval_.count() <= 0) {
    window_.DoEvents();
    return;
  }
  eventRequests_ = 0;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastEvents_ < eventInterval_) return;
  lastEvents_ = now;
  window_.DoEvents();
}

}  // namespace picmap
