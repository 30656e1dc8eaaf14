// frmMain: the desktop main window. It implements the window port for the conversion logic
// (frmMainLogic), forwards every menu click and preview pointer event to it and shows what
// the logic asks for. Dialogs go through a DialogProvider so that tests can answer them.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "app/frm_main.h"
#include "app/picture.h"
#include "app/window_port.h"
#include "gui/recent_pictures.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QSlider;

namespace picmap {

class DialogProvider;
class ReferenceDock;
class ControlPointDock;
class PreviewWidget;
class SwatchWidget;

class frmMain : public QMainWindow, public WindowPort {
  Q_OBJECT

 public:
  // Without a provider the window shows real Qt dialogs. The window installs the support
  // library's message-box, pointer and events ports for its lifetime.
  explicit frmMain(DialogProvider* dialogs = nullptr, QWidget* parent = nullptr);
  ~frmMain() override;

  // Form_Load. False when start-up failed: the message has been shown and the window must
  // not appear.
  bool Start();

  frmMainLogic& Logic() { return *logic_; }
  DialogProvider& Dialogs() { return *dialogs_; }
  // Runs after every round of pending events (tests click the cancel menu from here).
  void SetEventsHook(std::function<void()> hook) { eventsHook_ = std::move(hook); }
  // Replaces the immediate process exit of Form_Unload (tests record the code instead).
  void SetExitHook(std::function<void(int)> hook) { exitHook_ = std::move(hook); }

  QAction* MenuAction(Menu item) const { return menus_[static_cast<size_t>(item)]; }
  QAction* ToneAction(int16_t index) const { return tones_[static_cast<size_t>(index)]; }
  QMenu* ToneMenu() const { return toneMenu_; }
  // "mnuWorldFile": extents from the world file beside the picture (under the area menu).
  QAction* WorldFileAction() const { return worldFile_; }
  // "mnuShowResult": the preview shows the generated map over the world picture instead of
  // the picture (under the conversion menu; usable once a generation has succeeded).
  QAction* ShowResultAction() const { return showResult_; }
  QAction* CleanupAction() const { return cleanup_; }
  // "mnuUndo", "mnuRedo" (the edit menu) and "mnuLock" (the area menu).
  QAction* UndoAction() const { return undo_; }
  QAction* RedoAction() const { return redo_; }
  QAction* LockAction() const { return lock_; }
  // "mnuRecent": the pictures opened lately, most recent first (under the file menu).
  QMenu* RecentMenu() const { return recentMenu_; }
  QLabel* LabelWidget(Label label) const { return labels_[static_cast<size_t>(label)]; }
  PreviewWidget* Preview() const { return preview_; }
  SwatchWidget* Swatch() const { return swatch_; }
  QProgressBar* Progress() const { return progress_; }
  // The status bar's pointer text and the see-through setting of the pasted picture.
  QLabel* PointerLabel() const { return pointerLabel_; }
  QSlider* OpacitySlider() const { return opacity_; }
  // The status bar's zoom of the preview.
  QLabel* ZoomLabel() const { return zoomLabel_; }
  // The reference layers' list (hidden until a layer is added) and the recent ones' menu.
  ReferenceDock* References() const { return referenceDock_; }
  QMenu* RecentReferencesMenu() const { return recentReferenceMenu_; }
  QAction* AddReferenceAction() const { return addReference_; }
  // The control points' table and the mode's action (area menu and tool bar).
  ControlPointDock* ControlPoints() const { return controlPointDock_; }
  QAction* ControlPointModeAction() const { return controlPointMode_; }
  // Adds a reference layer as its menu does once a file is chosen (a drop with Shift held).
  bool AddReferenceFile(const QString& path);
  // Opens a picture as the open menu does (a path from the command line or a drop).
  void OpenPictureFile(const QString& path);
  // True while generation, compression or saving runs.
  bool JobRunning() const { return jobDepth_ > 0; }
  bool Unloaded() const { return unloaded_; }

  // ---- WindowPort ----
  std::u16string Caption() const override { return caption_; }
  void SetCaption(const std::u16string& caption) override;
  int32_t WindowWidth() const override;
  int32_t WindowHeight() const override;
  int32_t ScreenWidth() const override;
  int32_t ScreenHeight() const override;
  void MoveWindow(int32_t left, int32_t top) override;
  void Refresh() override;
  void MessageWithDetail(const std::u16string& text, const std::u16string& detail,
                         bool errorIcon) override;
  std::u16string InputBox(const std::u16string& prompt,
                          const std::u16string& defaultText) override;
  MsgAnswer AskYesNoCancel(const std::u16string& text) override;
  std::optional<std::u16string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::u16string> SaveFileDialog(const FileDialogRequest& request) override;
  std::optional<int32_t> ColorDialog(int32_t initial) override;
  std::u16string PictureFolder() const override;
  void SetMenuEnabled(Menu item, bool enabled) override;
  void SetToneItemChecked(int16_t index, bool checked) override;
  void SetLabelText(Label label, const std::u16string& text) override;
  void SetSwatchColor(int32_t colour) override;
  void SetProgressMax(int32_t maximum) override;
  void SetProgressValue(int32_t value) override;
  void SetUndoState(bool canUndo, bool canRedo) override;
  void DoEvents() override;
  int16_t ScreenPointer() const override { return screenPointer_; }
  void SetScreenPointer(int16_t code) override;
  void SetPreviewPointer(int16_t code) override;
  bool LoadSourcePicture(const std::u16string& path, PictureLoader loader) override;
  void ReplaceSourcePicture(Picture picture) override;
  const Picture& SourcePicture() const override { return source_; }
  double PreviewWidth() const override;
  double PreviewHeight() const override;
  void ClearPreview() override;
  void DrawPictureInPreview(PictureBox box, int32_t x, int32_t y, int32_t w,
                            int32_t h) override;
  int32_t PreviewColorAt(double x, double y) const override;
  void DrawReferenceLayers(bool overPicture) override;
  void DrawMarks(const std::vector<PreviewMark>& marks) override;
  void ControlPointsChanged() override;
  void PreviewDrawn() override;
  void CloseWindow() override;
  void EndProgram() override;
  void ExitProcessNow(int code) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  class Ports;

  void BuildMenus();
  void ShowControlPointDock();
  QAction* AddMenuItem(QMenu* menu, Menu item, const QString& caption,
                       std::function<void()> onClick);
  QMenu* AddSubmenu(QMenu* parent, Menu item, const QString& caption);
  void BuildToneMenu(QMenu* colorMenu);
  void BuildRecentMenu(QMenu* fileMenu);
  void FillRecentMenu();
  void BuildControls();
  QWidget* BuildAreaFrame();
  QWidget* BuildColorFrame();
  QWidget* BuildPictureInfo();
  QLabel* AddLabel(Label label, const QString& toolTip = {});
  void LoadWorldPicture();
  void BuildShowResultItem(QMenu* convertMenu);
  void BuildCleanupItem(QMenu* convertMenu);
  void BuildViewMenu();
  void BuildEditMenu();
  void BuildReferenceDock();
  void BuildControlPoints();
  void FillRecentReferences();
  void ReferenceAdded();
  void StartSize();
  void BuildStatusBar();
  void ConnectPreview();
  void ZoomAtCentre(double factor);
  void ShowPointer(float x, float y);
  // The status bar's pointer text for where the pointer last was over the preview.
  void RefreshPointer();
  void ShowZoom();
  bool ShowingResult() const;
  // The result view at the given size, rendered again only when the map has changed since
  // (never while a job is building the map: the last finished result stays on show).
  const QImage& ResultImage(QSize size, const QRect& world);
  void RedrawPreview();

  // Runs one event handler of the logic; an error that escapes it goes to the error dialog.
  void Dispatch(const std::function<void()>& handler);
  // A long job: the menus that must not re-enter and the preview are blocked while it runs.
  void RunJob(void (frmMainLogic::*job)());
  void ToneItemClicked(int16_t index);
  void ApplyMenuStates();
  bool AllowedDuringJob(Menu item) const;

  std::unique_ptr<DialogProvider> ownDialogs_;
  DialogProvider* dialogs_;
  std::unique_ptr<Ports> ports_;
  std::unique_ptr<frmMainLogic> logic_;

  std::array<QAction*, kMenuCount> menus_{};
  std::array<bool, kMenuCount> menuWanted_{};
  std::array<QAction*, kToneItemCount> tones_{};
  std::array<bool, kToneItemCount> toneChecked_{};
  QMenu* toneMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  RecentPictures recent_;
  QAction* worldFile_ = nullptr;
  QAction* showResult_ = nullptr;
  QAction* cleanup_ = nullptr;  // 画像の整理 (cleanup_dialog.h)
  QMenu* viewMenu_ = nullptr;
  QMenu* areaMenu_ = nullptr;
  ControlPointDock* controlPointDock_ = nullptr;
  QAction* controlPointMode_ = nullptr;
  std::vector<QAction*> controlPointActions_;
  ReferenceDock* referenceDock_ = nullptr;
  QMenu* recentReferenceMenu_ = nullptr;
  QAction* addReference_ = nullptr;
  RecentPictures recentReferences_{QStringLiteral("recentReferences"),
                                   QStringLiteral("lastReferenceFolder")};
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  QAction* lock_ = nullptr;
  bool canUndo_ = false;
  bool canRedo_ = false;
  std::array<QLabel*, kLabelCount> labels_{};
  PreviewWidget* preview_ = nullptr;
  SwatchWidget* swatch_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* pointerLabel_ = nullptr;
  QSlider* opacity_ = nullptr;
  QLabel* opacityValue_ = nullptr;
  QLabel* zoomLabel_ = nullptr;
  std::optional<QPointF> lastPointer_;  // over the preview, in canvas pixels
  std::array<QAction*, 4> viewActions_{};

  std::u16string caption_;
  Picture source_;
  QImage sourceImage_;
  QImage worldImage_;
  QImage resultImage_;
  QRect resultWorld_;  // where the world lay in resultImage_
  bool resultReady_ = false;  // a generation has succeeded
  bool resultStale_ = true;   // the map has changed since resultImage_ was rendered
  int16_t screenPointer_ = 0;
  bool overrideCursor_ = false;
  int jobDepth_ = 0;
  bool closePending_ = false;
  bool unloaded_ = false;
  std::function<void()> eventsHook_;
  std::chrono::steady_clock::time_point lastProgressShown_{};
  std::function<void(int)> exitHook_;
};

}  // namespace picmap
