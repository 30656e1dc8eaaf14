// frmMainLogic: the main window's behaviour without the window. It owns the conversion state
// and carries out start-up, the menu actions (open, extents, colours, tone, polygon
// generation, two-dimensional compression, save), the status labels and the preview, talking
// to the window only through WindowPort.
#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/cleanup.h"
#include "app/conversion_state.h"
#include "app/georef.h"
#include "app/placement_history.h"
#include "app/preview_view.h"
#include "app/region_map.h"
#include "app/reference_layers.h"
#include "app/window_port.h"
#include "map/map_rectangle.h"
#include "support/ui_text.h"

namespace picmap {

class clsMapFigure;
struct RunRow;  // the run values of one picture row (generation)

// A rectangle of the preview in its pixels.
struct PreviewRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
};

// Mouse buttons as the window system numbers them.
namespace mouse {
constexpr int16_t kLeft = 1;
constexpr int16_t kRight = 2;
constexpr int16_t kMiddle = 4;
}  // namespace mouse

// What became of an extent entered in an input box (the window ignores it; the command
// line reports the unreadable and out-of-range cases).
enum class EdgeEntry { Stored, Cancelled, Unreadable, OutOfRange };

// A text the window shows: written in Japanese, read in the language chosen at start-up.
struct UiText {
  const char* source;  // UTF-8
  operator std::u16string() const { return Tr("frmMain", source); }
};
inline bool operator==(const std::u16string& a, const UiText& b) { return a == std::u16string(b); }
inline std::u16string operator+(const UiText& a, const std::u16string& b) {
  return std::u16string(a) + b;
}

// Captions and messages the window and the command line share.
namespace frmtext {
inline constexpr UiText kCaption{QT_TRANSLATE_NOOP("frmMain", "画像地図化ツール - ver.")};
inline constexpr UiText kPictureFilter{QT_TRANSLATE_NOOP("frmMain",
    "すべてのピクチャファイル(*.*)|*.BMP;*.GIF;*.PNG;*.JPG;*.JPEG;*.JPE|"
    "BMPイメージファイル(*.BMP)|*.BMP|GIFイメージファイル(*.GIF)|*.GIF|"
    "PNGイメージファイル(*.PNG)|*.PNG|JPEGイメージファイル|*.JPG;*.JPEG;*.JPE|")};
inline constexpr UiText kMapFilter{QT_TRANSLATE_NOOP("frmMain", "経緯度地図ﾌｧｲﾙ(*.MLL)|*.MLL|")};
// The thing every generated polygon carries: a name in the thing file, never translated.
inline constexpr char16_t kImagePolygon[] = u"画像ポリゴン";
inline constexpr UiText kPolygonDone{QT_TRANSLATE_NOOP("frmMain",
    "ポリゴン生成に成功しました. [２次元圧縮] もしくは [保存] してください.")};
// Regions are no rectangles, so there is nothing to compress: saving is the one step left.
inline constexpr UiText kRegionsDone{QT_TRANSLATE_NOOP("frmMain", "ポリゴン生成に成功しました. [保存] してください.")};
inline constexpr UiText kPolygonCancelled{QT_TRANSLATE_NOOP("frmMain", "ポリゴン生成は中断されました.")};
inline constexpr UiText kPolygonFailed{QT_TRANSLATE_NOOP("frmMain", "ポリゴン生成に失敗しました.")};
inline constexpr UiText kCompressCancelled{QT_TRANSLATE_NOOP("frmMain", "２次元圧縮は中断されました.")};
inline constexpr UiText kSaveDone{QT_TRANSLATE_NOOP("frmMain", "保存に成功しました.")};
inline constexpr UiText kSaveFailed{QT_TRANSLATE_NOOP("frmMain", "保存に失敗しました.")};
inline constexpr UiText kNotAPicture{QT_TRANSLATE_NOOP("frmMain", "を画像として読み込めませんでした.")};
inline constexpr UiText kIncompletePicture{QT_TRANSLATE_NOOP("frmMain",
    "画像ファイルが途中で切れています.")};
inline constexpr UiText kWorldFileCaption{QT_TRANSLATE_NOOP("frmMain", "ワールドファイルから設定(&F)")};
inline constexpr UiText kWorldFileNoPicture{QT_TRANSLATE_NOOP("frmMain", "先に画像ファイルを開いてください.")};
// Entries after the picture filter's own: the GIS rasters the picture is read from through GDAL.
inline constexpr UiText kRasterFilter{QT_TRANSLATE_NOOP("frmMain",
    "GISラスタファイル(*.TIF;*.TIFF;*.JP2;*.PNM)|*.TIF;*.TIFF;*.JP2;*.J2K;*.PNM;*.PPM;*.PGM;*.IMG|"
    "すべてのファイル(*.*)|*.*|")};
inline constexpr UiText kReferenceFilter{QT_TRANSLATE_NOOP("frmMain",
    "すべてのファイル(*.*)|*.*|ベクタファイル(*.SHP;*.GPKG;*.GEOJSON;*.KML;*.GML)|*.SHP;*.GPKG;*.GEOJSON;*.JSON;*.KML;*.GML|"
    "ラスタファイル(*.TIF;*.TIFF;*.JP2;*.PNG;*.JPG)|*.TIF;*.TIFF;*.JP2;*.PNG;*.JPG|")};
inline constexpr UiText kReferenceFailed{QT_TRANSLATE_NOOP("frmMain", "を参照レイヤーとして読み込めませんでした.")};
inline constexpr UiText kMapUnsaved{QT_TRANSLATE_NOOP("frmMain",
    "生成した地図が保存されていません.\r\n保存しますか?\r\n([いいえ] を選ぶと地図は破棄されます.)")};
inline constexpr UiText kPointsUnsaved{QT_TRANSLATE_NOOP("frmMain",
    "基準点が保存されていません.\r\n基準点ファイルに保存しますか?\r\n([いいえ] を選ぶと基準点は破棄されます.)")};
}  // namespace frmtext

class frmMainLogic {
 public:
  explicit frmMainLogic(WindowPort& window);
  ~frmMainLogic();
  frmMainLogic(const frmMainLogic&) = delete;
  frmMainLogic& operator=(const frmMainLogic&) = delete;

  // ---- Start-up and closing ----
  // False when the template thing file or its image-polygon thing is missing: the message has
  // been shown and the program ended (WindowPort::EndProgram) before any window appears.
  bool Form_Load();
  void Form_Unload();
  void mnuQuit_Click();
  // Asked before the window closes (by the quit menu or the window's own close button): true
  // when it may close, that is when no generated map is unsaved or the user has saved or
  // dropped it. False keeps the window and everything in it as it was.
  bool Form_QueryUnload();

  // ---- Picture, extents, colours, tone ----
  void mnuOpen_Click();
  // Opens a picture as the open menu does once a path is chosen (a path given on the command
  // line or dropped on the window).
  void OpenPicture(const std::u16string& path) { LoadPictureFile(path); }
  void mnuWorld_Click();
  EdgeEntry mnuWest_Click();
  EdgeEntry mnuEast_Click();
  EdgeEntry mnuNorth_Click();
  EdgeEntry mnuSouth_Click();
  // Extents from the world file beside the opened picture; false (with a message, nothing
  // changed) when there is none or it cannot be used.
  bool mnuWorldFile_Click();
  // Places the opened picture by a georeference: it is warped onto a longitude/latitude grid
  // (unless it already is one) and the extents become the grid's. False, with the reason shown,
  // when it cannot be placed; the picture and extents then stay as they were.
  bool PlaceByGeoreference(const Georeference& georef, const WarpLimits& limits = {});
  // Whether a GIS raster that carries its own georeferencing (a GeoTIFF, say) is placed by it
  // as soon as it is opened. The window does; the command line places pictures itself.
  void PlaceRastersOnOpening(bool on) { placeRastersOnOpening_ = on; }
  // The placement of the last PlaceByGeoreference, for reports.
  const std::optional<PlacedPicture>& LastPlacement() const { return lastPlacement_; }
  // The picture as opened, before a placement warped it.
  const Picture& OpenedPicture() const { return original_; }
  void mnuBackColor_Click();
  void picBackColor_Click();
  void mnuTone_Click();
  void mnuToneItem_Click(int16_t Index);

  // ---- Undo and lock of the placement ----
  void mnuUndo_Click();
  void mnuRedo_Click();
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  // While locked, drags in the preview leave the placement alone (typed edges still count).
  void SetPlacementLocked(bool locked);
  bool PlacementLocked() const { return locked_; }
  Placement CurrentPlacement() const;
  // A generated (or compressed) map that has not been saved since.
  bool MapUnsaved() const { return mapUnsaved_; }

  // ---- Control points ----
  // In control-point mode a click on the picture takes a point's pixel and the next click
  // (or typed angles) its longitude and latitude; the picture is shown warped by the fit of
  // the points as soon as there are enough. Drags of a mark move that end of its point.
  void SetControlPointMode(bool on);
  bool ControlPointMode() const { return cpMode_; }
  void picDst_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
  // The points as the table shows them, residuals filled in when the fit succeeded.
  std::vector<ControlPoint> ControlPointRows() const;
  TransformKind ControlPointTransform() const;
  // The RMS of the fit, and whether the extents have been moved off it since; or why there
  // is no fit.
  std::u16string FitStatus() const;
  bool PendingPixel() const { return pending_.has_value(); }
  void AddControlPoint(double px, double py, double lonDeg, double latDeg);
  void SetTransform(TransformKind kind);
  void SetControlPointEnabled(size_t index, bool enabled);
  void RemoveControlPoint(size_t index);
  // A typed angle for a point's longitude or latitude, read as the edges are; false (with a
  // message) when it cannot be read or is out of range.
  bool SetControlPointAngle(size_t index, bool latitude, const std::u16string& text);
  // The longitude and latitude of the point whose pixel was clicked, typed in.
  void mnuTypeLonLat_Click();
  void mnuLoadPoints_Click();
  void mnuSavePoints_Click() { SaveControlPoints(); }
  // Asks for a points file and writes the points; true when they were written.
  bool SaveControlPoints();
  bool LoadPointsFile(const std::u16string& path);
  std::vector<PreviewMark> Marks();

  // ---- Reference layers ----
  // Drawn in longitude/latitude under or over the picture; the world picture stays beneath.
  void mnuAddReference_Click();
  // Adds a file as a reference layer (false, with a message naming the file and the reason,
  // when GDAL cannot read it so).
  bool AddReferenceLayer(const std::u16string& path);
  ReferenceLayers& References() { return references_; }
  // The part of the globe the preview shows, in arc-seconds.
  GeoBox VisibleBox();

  // ---- Conversion ----
  void mnuPolygon_Click();
  void mnuCompress_Click();
  void mnuCancel_Click();
  void mnuSave_Click();
  // True when every row was processed.
  bool MakePolygons();
  // Number of figures removed, or -1 when cancelled.
  int32_t Compress2D();

  // ---- Preview ----
  void picDst_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
  void picDst_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
  void DrawPreview();
  // What the preview shows of the globe; the pointer arithmetic above follows it.
  PreviewView& Viewport();
  void ZoomPreview(double factor, float X, float Y);
  void PanPreview(float dx, float dy);
  void ShowWholeWorld();
  void ShowPictureArea();
  // Where the opened picture is drawn: one rectangle, or two when it crosses 180°.
  std::vector<PreviewRect> PictureRects();
  // The picture pixel drawn at a preview position, if any.
  std::optional<std::pair<int32_t, int32_t>> PicturePixelAt(float X, float Y);
  std::optional<std::pair<int32_t, int32_t>> PointerPixel(float X, float Y);
  // The status text for the pointer at a preview position: its longitude and latitude and
  // the picture pixel under it.
  std::u16string PointerText(float X, float Y);

  // ---- Status ----
  void oMap_Progress(int16_t parcent);
  void ShowStatus();
  void ShowAreaInfo();
  void ShowBackColor();
  void ShowFigureCount();

  // ---- Dialog helpers ----
  std::u16string InputLoadName(const std::u16string& sTitle, const std::u16string& sFilter,
                               const std::u16string& sPath);
  int32_t InputColor(int32_t rgbCol);

  // ---- For the window, the command line and tests ----
  const ConversionState& State() const { return state_; }
  ConversionState& MutableState() { return state_; }
  WindowPort& Window() { return window_; }
  // Result of the last two-dimensional compression run (-1 after a cancel).
  int32_t LastCompressResult() const { return lastCompress_; }
  // Whether the last mnuSave_Click wrote both files.
  bool LastSaveSucceeded() const { return lastSaveOk_; }
  // Whether a save keeps the files it replaces under their backup names (the window always does).
  void KeepBackups(bool keep) { keepBackups_ = keep; }
  // The backup names the last save kept the replaced map and thing file under.
  const std::vector<std::u16string>& LastKeptBackups() const { return lastKeptBackups_; }
  // Least time between two runs of pending window events; zero runs them at every request.
  void SetEventInterval(std::chrono::milliseconds interval) { eventInterval_ = interval; }
  std::chrono::milliseconds EventInterval() const { return eventInterval_; }
  // The thing file Form_Load reads instead of PICMAP.THG in the program folder.
  void SetTemplateThingFile(std::u16string file) { templateThings_ = std::move(file); }
  // For a conversion that compresses right after generating (the command line): a second
  // thread works out the first compression behind the rows being generated, and the next
  // compression takes its result while the map is as the generation left it. Progress and
  // events are then not shown for that compression.
  void CompressAlongGeneration(bool on) { compressAlong_ = on; }

  // ---- Clean-up of real pictures (cleanup.h, region_map.h) ----
  // What the next generation does to the picture first, and whether it makes regions.
  void SetCleanup(CleanupOptions options) { cleanup_ = std::move(options); }
  const CleanupOptions& Cleanup() const { return cleanup_; }
  // What the last generation of regions made.
  const RegionCounts& LastRegions() const { return lastRegions_; }
  // How many colours the last clean-up kept (0: none ran).
  int CleanedColours() const { return cleanupReport_.colours; }
  bool BackgroundUnseen() const { return cleanupReport_.backgroundUnseen; }
  double CleanedGrain() const { return cleanupReport_.grain; }

 private:
  enum class Edge { West, East, North, South };
  EdgeEntry EnterEdge(Edge edge);
  bool AcceptsEdge(Edge edge, int32_t value) const;
  bool TakeLetterInFront(const std::u16string& answer, Edge edge, int32_t& value);
  EdgeEntry RefuseEdge(EdgeEntry why, const std::u16string& answer, Edge edge, int32_t value);
  void StoreEdge(Edge edge, int32_t value);
  void SetPlacement(const Placement& p);
  // Puts the change from `before` to the current placement on the undo stack.
  void PlacementChanged(const Placement& before);
  void ShowUndoState();
  // Asks what becomes of an unsaved map before it would be lost; false: keep everything.
  bool MayDropMap();
  // The same for control points not kept in a points file (set by hand, or changed since).
  bool MayDropControlPoints();
  void LoadPictureFile(const std::u16string& path);
  void AttachMap(std::shared_ptr<clsMap> map);
  std::u16string SpanText(int32_t sec) const;

  // Generation.
  struct RowGeometry;
  void AddHeaderRemarks();
  void EmitRun(int32_t s, int32_t j, int32_t colour, const RowGeometry& row);
  void AddRectangle(int32_t left, int32_t right, int32_t colour, const RowGeometry& row);
  bool ScanRow(const RunRow& v, const RowGeometry& row);
  bool ScanRuns(const RunRow& v, const RowGeometry& row);
  // The rectangles of the row being scanned, added to the map when the row ends (or stops).
  std::vector<MapRectangle> rowRectangles_;
  bool FinishGeneration(bool ok);
  std::u16string refusal_;  // why the last generation was refused, with the numbers
  // Clean-up and regions (region_generate.cpp).
  const Picture& CleanedPicture(const Picture& source, Picture& store);
  bool MakeRegions(const Picture& pic, int32_t eastWrapped, double pw, double ph, int32_t mask);
  CleanupOptions cleanup_;
  RegionCounts lastRegions_;
  CleanupReport cleanupReport_;
  // Stages of the clean-up (colours, snapping, sieve) and of the tracing (arcs, simplifying).
  static constexpr int kCleanupStages = 3, kTraceStages = 2;
  int cleanupStage_ = 0;
  void StartCleanupStages();
  void CleanupStageDone();
  void CleanupStepDone();

  // Save.
  bool RenameHeaderRemarks(const std::u16string& chosenPath);
  bool WriteMapAndThings();

  // Preview.
  void DragTo(float X, float Y);
  void MoveArea(float X, float Y);
  void MoveEdges(float X, float Y);
  void HoverAt(float X, float Y);
  void EndDrag();

  void RunPendingEvents() { RequestEvents(1); }
  // n more requests to let pending window events run; the clock is read only every so many.
  void RequestEvents(uint32_t n) {
    if (eventInterval_.count() <= 0 || (eventRequests_ += n) >= kRequestsPerClockRead)
      EventsIfDue();
  }
  void EventsIfDue();
  template <class View>
  bool Scan(View& v, int32_t n);
  class CompressionAlongside;
  struct AlongsideEnd {
    void operator()(CompressionAlongside* c) const;
  };
  void StartCompressionAlongside();
  bool TakeCompressionAlongside(clsMap& map, int32_t n);
  void RowsGenerated();
  void GenerationEnded();
  bool compressAlong_ = false;

  WindowPort& window_;
  std::u16string caption_;  // the caption of start-up, before any picture's name
  ConversionState state_;
  PreviewView view_;
  PlacementHistory history_;
  // Control points.
  void ChangePoints(const std::function<void(ControlPointState&)>& edit);
  void FitAndWarp();
  std::optional<std::pair<double, double>> OriginalPixelAt(float X, float Y);
  std::optional<std::pair<double, double>> PixelToPreview(double px, double py);
  std::pair<double, double> LonLatAt(float X, float Y);
  bool ReadAngle(const std::u16string& text, bool latitude, double& degrees);
  bool cpMode_ = false;
  Picture original_;  // the picture as opened, before any warp
  std::shared_ptr<const ControlPointState> points_;
  std::shared_ptr<const ControlPointState> pointsInFile_;  // as last saved to or loaded from a file
  std::optional<ControlPointFit> fit_;
  // The placement the picture file carries itself (a GeoTIFF's): shown again when no control
  // points fit, and the way back from a click on its warp to the pixel as opened.
  std::shared_ptr<const OwnPlacement> own_;
  // Pixel <-> longitude/latitude of the warp shown (the fit's or the file's own), none when
  // the picture is shown as opened.
  std::shared_ptr<const PictureTransform> shownWarp_;
  Placement warpedOnto_;  // the grid that warp was made on (the extents may move since)
  void ShowOwnPlacementOrOriginal();
  // The extents the map was generated on: moved since, a save asks first.
  std::optional<Placement> generatedOn_;
  bool MaySaveOnOldExtents();
  std::u16string fitStatus_;
  std::u16string clickHint_;  // why the last click set no point, until the next click
  std::optional<std::pair<double, double>> pending_;  // a clicked pixel awaiting its angles
  struct MarkDrag {
    size_t index;
    bool onMap;
    float x, y;
    bool moved = false;  // a press on a mark without a move leaves the point alone
  };
  std::optional<MarkDrag> markDrag_;
  ReferenceLayers references_;
  std::optional<Placement> dragStart_;  // the placement before the drag under way
  bool locked_ = false;
  bool mapUnsaved_ = false;
  int32_t lastCompress_ = 0;
  bool lastSaveOk_ = false;
  std::vector<std::u16string> lastKeptBackups_;
  std::optional<PlacedPicture> lastPlacement_;
  bool placeRastersOnOpening_ = true;
  bool keepBackups_ = true;
  std::u16string templateThings_;
  std::chrono::milliseconds eventInterval_{30};
  std::chrono::steady_clock::time_point lastEvents_{};
  static constexpr uint32_t kRequestsPerClockRead = 1024;
  uint32_t eventRequests_ = 0;
  // Last, so that it ends (and its thread stops reading the map) before the map can go.
  std::unique_ptr<CompressionAlongside, AlongsideEnd> alongside_;
};

// Why a picture of width x height pixels cannot be converted (below 16 x 16), with its size.
std::u16string TooSmallText(int32_t width, int32_t height);

// The filter index of InputLoadName: the entry whose patterns first hold the extension of
// `path`, counting from 1; 1 without an extension or a match.
int32_t FilterIndexFor(const std::u16string& filter, const std::u16string& path);

}  // namespace picmap
