#include "gui/main_window.h"
#include "gui/cleanup_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "app/raster_picture.h"
#include "app/picture_loader.h"
#include "app/program_folder.h"
#include "gui/app_icon.h"
#include "gui/control_names.h"
#include "gui/cursors.h"
#include "gui/dialog_provider.h"
#include "gui/preview_widget.h"
#include "ogr/mll_driver.h"
#include "gui/control_point_dock.h"
#include "gui/reference_dock.h"
#include "gui/qt_text.h"
#include "gui/result_view.h"
#include "gui/swatch_widget.h"
#include "output/reference_drawing.h"
#include "support/errormng.h"
#include "support/errors.h"

namespace picmap {

namespace {

constexpr auto kLibraryEventInterval = std::chrono::milliseconds(30);

// Menus that stay usable while a long job runs: the submenus themselves, quitting (which
// cancels the job first) and the cancel item.
constexpr Menu kJobMenus[] = {Menu::mnuFile, Menu::mnuArea, Menu::mnuColor,
                              Menu::mnuConvert, Menu::mnuQuit, Menu::mnuCancel};

constexpr const char* kToneCaptions[kToneItemCount] = {
    QT_TRANSLATE_NOOP("picmap::frmMain", "256諧調(無圧縮)(&A)"),
    QT_TRANSLATE_NOOP("picmap::frmMain", "128諧調(微圧縮)(&B)"),
    QT_TRANSLATE_NOOP("picmap::frmMain", "64諧調(弱圧縮)(&C)"),
    QT_TRANSLATE_NOOP("picmap::frmMain", "32諧調(中圧縮)(&D)"),
    QT_TRANSLATE_NOOP("picmap::frmMain", "16諧調(強圧縮)(&E)")};

// A label that wraps only when the window is too narrow for its lines: it asks for its
// unwrapped width, where a plain word-wrapping label asks for a narrow block. At its narrowest
// it breaks after its caption ("西端経度：" above its value) and asks for the height that
// takes, so the smallest window still shows every line whole.
class WrappingLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize sizeHint() const override {
    int width = 0;
    for (const QString& line : text().split(QLatin1Char('\n')))
      width = std::max(width, fontMetrics().horizontalAdvance(line));
    width += Frame();
    return {width, heightForWidth(width)};
  }
  QSize minimumSizeHint() const override {
    static const QRegularExpression afterCaption(QStringLiteral("(?<=：)|(?<=: )"));
    int width = 0;
    for (const QString& line : text().split(QLatin1Char('\n')))
      for (const QString& part : line.split(afterCaption))
        width = std::max(width, fontMetrics().horizontalAdvance(part.trimmed()));
    width += Frame();
    return {width, heightForWidth(width)};
  }

 private:
  int Frame() const {
    return 2 * margin() + contentsMargins().left() + contentsMargins().right() + 2;
  }
};

// A tool button that asks for no more height than it is given (the menu bar sizes itself by
// its corner widget's wish).
class CornerButton : public QToolButton {
 public:
  CornerButton(int height, QWidget* parent) : QToolButton(parent), height_(height) {
    setFixedHeight(height);
  }
  QSize sizeHint() const override {
    return {QToolButton::sizeHint().width(), height_};
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 private:
  int height_;
};

void ReportEscapedError(const Error& e) {
  try {
    FileErrorDialog(e, u"");
  } catch (...) {
    // Nothing is left to tell the user with if the dialog itself fails.
  }
}

// A path into GDAL's virtual file systems stays as given: made absolute, /vsizip//tmp/a.zip lost
// the slash that starts the zip's own path.
QString AbsolutePicturePath(const QString& path) {
  return IsGdalVirtualPath(FromQ(path)) ? path : QFileInfo(path).absoluteFilePath();
}

}  // namespace

// The support library's ports for as long as the window lives: its message boxes become Qt
// boxes through the dialog provider, its pointer stack sets the window's screen pointer and
// its requests to run pending events reach the window's event loop.
class frmMain::Ports {
 public:
  explicit Ports(frmMain& window) : box_(window), pointer_(window), events_(window) {
    oldBox_ = SetMessageBoxPort(&box_);
    oldPointer_ = SetPointerPort(&pointer_);
    oldEvents_ = SetEventsPort(&events_);
  }
  ~Ports() {
    SetMessageBoxPort(oldBox_);
    SetPointerPort(oldPointer_);
    SetEventsPort(oldEvents_);
  }
  Ports(const Ports&) = delete;
  Ports& operator=(const Ports&) = delete;

 private:
  class Box : public MessageBoxPort {
   public:
    explicit Box(frmMain& w) : w_(w) {}
    MsgAnswer Show(const std::u16string& text, const std::u16string& title, MsgButtons buttons,
                   MsgIcon icon) override {
      return w_.Dialogs().Message(w_.isVisible() ? &w_ : nullptr, text, title, buttons, icon);
    }

   private:
    frmMain& w_;
  };

  class Events : public EventsPort {
   public:
    explicit Events(frmMain& w) : w_(w) {}
    void DoEvents() override {
      const auto now = std::chrono::steady_clock::now();
      if (now - last_ < kLibraryEventInterval) return;
      last_ = now;
      w_.DoEvents();
    }

   private:
    frmMain& w_;
    std::chrono::steady_clock::time_point last_{};
  };

  Box box_;
  WindowPointerPort pointer_;
  Events events_;
  MessageBoxPort* oldBox_;
  PointerPort* oldPointer_;
  EventsPort* oldEvents_;
};

frmMain::frmMain(DialogProvider* dialogs, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMain"));
  if (!dialogs) {
    ownDialogs_ = std::make_unique<QtDialogProvider>();
    dialogs = ownDialogs_.get();
  }
  dialogs_ = dialogs;
  setAcceptDrops(true);
  setWindowIcon(AppIcon());
  BuildMenus();
  BuildControls();
  LoadWorldPicture();
  StartSize();
  ports_ = std::make_unique<Ports>(*this);
  logic_ = std::make_unique<frmMainLogic>(*this);
  BuildReferenceDock();
  BuildControlPoints();
}

frmMain::~frmMain() {
  logic_.reset();
  ports_.reset();
  if (overrideCursor_) QGuiApplication::restoreOverrideCursor();
}

bool frmMain::Start() {
  bool ok = false;
  Dispatch([&] { ok = logic_->Form_Load(); });
  return ok;
}

// ---- Building the window ----

QAction* frmMain::AddMenuItem(QMenu* menu, Menu item, const QString& caption,
                              std::function<void()> onClick) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(ToQ(MenuName(item)));
  connect(a, &QAction::triggered, this, [onClick = std::move(onClick)] { onClick(); });
  menus_[static_cast<size_t>(item)] = a;
  return a;
}

QMenu* frmMain::AddSubmenu(QMenu* parent, Menu item, const QString& caption) {
  QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
  m->setObjectName(ToQ(MenuName(item)));
  m->menuAction()->setObjectName(ToQ(MenuName(item)));
  menus_[static_cast<size_t>(item)] = m->menuAction();
  return m;
}

void frmMain::BuildMenus() {
  auto call = [this](auto handler) {
    return [this, handler] { Dispatch([&] { (logic_.get()->*handler)(); }); };
  };
  auto job = [this](void (frmMainLogic::*handler)()) {
    return [this, handler] { RunJob(handler); };
  };
  QMenu* file = AddSubmenu(nullptr, Menu::mnuFile, tr("ファイル(&F)"));
  AddMenuItem(file, Menu::mnuOpen, tr("画像ファイルを開く(&O)..."), call(&frmMainLogic::mnuOpen_Click))
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  BuildRecentMenu(file);
  AddMenuItem(file, Menu::mnuSave, tr("地図ファイルを保存する(&S)..."), job(&frmMainLogic::mnuSave_Click))
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  AddMenuItem(file, Menu::mnuQuit, tr("終了(&X)"), call(&frmMainLogic::mnuQuit_Click))
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  BuildEditMenu();

  QMenu* area = AddSubmenu(nullptr, Menu::mnuArea, tr("領域設定(&M)"));
  areaMenu_ = area;
  AddMenuItem(area, Menu::mnuWorld, tr("世界全体(&A)"), call(&frmMainLogic::mnuWorld_Click));
  AddMenuItem(area, Menu::mnuWest, tr("西端経度(&W)"), call(&frmMainLogic::mnuWest_Click));
  AddMenuItem(area, Menu::mnuEast, tr("東端経度(&E)"), call(&frmMainLogic::mnuEast_Click));
  AddMenuItem(area, Menu::mnuNorth, tr("北端緯度(&N)"), call(&frmMainLogic::mnuNorth_Click));
  AddMenuItem(area, Menu::mnuSouth, tr("南端緯度(&S)"), call(&frmMainLogic::mnuSouth_Click));
  area->addSeparator();
  worldFile_ = area->addAction(ToQ(frmtext::kWorldFileCaption));
  worldFile_->setObjectName(QStringLiteral("mnuWorldFile"));
  connect(worldFile_, &QAction::triggered, this, call(&frmMainLogic::mnuWorldFile_Click));
  area->addSeparator();
  lock_ = area->addAction(tr("領域を固定(&L)"));
  lock_->setObjectName(QStringLiteral("mnuLock"));
  lock_->setCheckable(true);
  lock_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  lock_->setToolTip(tr("ドラッグで領域が動かないようにする"));
  connect(lock_, &QAction::toggled, this,
          [this](bool on) { Dispatch([&] { logic_->SetPlacementLocked(on); }); });

  QMenu* color = AddSubmenu(nullptr, Menu::mnuColor, tr("色設定(&R)"));
  AddMenuItem(color, Menu::mnuBackColor, tr("無効色(&B)..."), call(&frmMainLogic::mnuBackColor_Click));
  BuildToneMenu(color);

  QMenu* convert = AddSubmenu(nullptr, Menu::mnuConvert, tr("変換(&V)"));
  BuildCleanupItem(convert);
  AddMenuItem(convert, Menu::mnuPolygon, tr("ポリゴン生成(&P)"), job(&frmMainLogic::mnuPolygon_Click));
  AddMenuItem(convert, Menu::mnuCompress, tr("２次元圧縮(&R)"), job(&frmMainLogic::mnuCompress_Click));
  BuildShowResultItem(convert);
  AddMenuItem(convert, Menu::mnuCancel, tr("処理中止(&A)"), call(&frmMainLogic::mnuCancel_Click))
      ->setShortcut(QKeySequence(Qt::Key_Escape));
  BuildViewMenu();

  menuWanted_.fill(true);
  for (Menu m : {Menu::mnuSave, Menu::mnuPolygon, Menu::mnuCompress, Menu::mnuCancel})
    menuWanted_[static_cast<size_t>(m)] = false;
  ApplyMenuStates();
}

// Undo and redo take back changes of the placement only: the map and the settings stay.
void frmMain::BuildEditMenu() {
  QMenu* edit = menuBar()->addMenu(tr("編集(&E)"));
  edit->setObjectName(QStringLiteral("mnuEdit"));
  undo_ = edit->addAction(tr("元に戻す(&U)"));
  undo_->setObjectName(QStringLiteral("mnuUndo"));
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  connect(undo_, &QAction::triggered, this, [this] { Dispatch([this] { logic_->mnuUndo_Click(); }); });
  redo_ = edit->addAction(tr("やり直し(&R)"));
  redo_->setObjectName(QStringLiteral("mnuRedo"));
  redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
  connect(redo_, &QAction::triggered, this, [this] { Dispatch([this] { logic_->mnuRedo_Click(); }); });
}

// Zoom and pan change only what the preview shows; they work with or without a picture.
void frmMain::BuildViewMenu() {
  QMenu* view = menuBar()->addMenu(tr("表示(&D)"));
  viewMenu_ = view;
  view->setObjectName(QStringLiteral("mnuView"));
  struct Item {
    const char* name;
    QString caption;
    QKeySequence key;
    std::function<void()> run;
  };
  const Item items[] = {
      {"mnuZoomIn", tr("拡大(&I)"), QKeySequence::ZoomIn, [this] { ZoomAtCentre(2); }},
      {"mnuZoomOut", tr("縮小(&O)"), QKeySequence::ZoomOut,
       [this] { ZoomAtCentre(0.5); }},
      {"mnuZoomArea", tr("画像の領域に合わせる(&F)"), QKeySequence(Qt::CTRL | Qt::Key_F),
       [this] { Dispatch([this] { logic_->ShowPictureArea(); }); }},
      {"mnuZoomWorld", tr("世界全体を表示(&W)"), QKeySequence(Qt::CTRL | Qt::Key_0),
       [this] { Dispatch([this] { logic_->ShowWholeWorld(); }); }},
  };
  for (size_t i = 0; i < std::size(items); ++i) {
    QAction* a = view->addAction(items[i].caption);
    a->setObjectName(QString::fromLatin1(items[i].name));
    a->setShortcut(items[i].key);
    connect(a, &QAction::triggered, this, items[i].run);
    viewActions_[i] = a;
  }
}

// The layers live in the logic, so the list and its menu items are made once it is. The map
// files the window saves open as layers too, whether or not GDAL finds the driver's plugin.
void frmMain::BuildReferenceDock() {
  ogr::RegisterMllDriver();
  viewMenu_->addSeparator();
  addReference_ = viewMenu_->addAction(tr("参照レイヤーの追加(&L)..."));
  addReference_->setObjectName(QStringLiteral("mnuAddReference"));
  connect(addReference_, &QAction::triggered, this, [this] {
    const size_t before = logic_->References().Count();
    Dispatch([this] { logic_->mnuAddReference_Click(); });
    if (logic_->References().Count() > before) ReferenceAdded();
  });
  recentReferenceMenu_ = viewMenu_->addMenu(tr("最近使った参照レイヤー(&E)"));
  recentReferenceMenu_->setObjectName(QStringLiteral("mnuRecentReferences"));
  connect(recentReferenceMenu_, &QMenu::aboutToShow, this, [this] { FillRecentReferences(); });
  FillRecentReferences();

  referenceDock_ = new ReferenceDock(logic_->References(), this);
  addDockWidget(Qt::RightDockWidgetArea, referenceDock_);
  referenceDock_->hide();
  QAction* toggle = referenceDock_->toggleViewAction();
  toggle->setText(tr("参照レイヤー一覧(&Y)"));
  toggle->setObjectName(QStringLiteral("mnuReferenceList"));
  viewMenu_->addAction(toggle);
  connect(referenceDock_, &ReferenceDock::Changed, this, [this] { RedrawPreview(); });
}

// Control-point mode: the points are placed in the preview and listed in their table.
void frmMain::BuildControlPoints() {
  areaMenu_->addSeparator();
  controlPointMode_ = areaMenu_->addAction(tr("基準点モード(&G)"));
  controlPointMode_->setObjectName(QStringLiteral("mnuControlPoints"));
  controlPointMode_->setCheckable(true);
  controlPointMode_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  controlPointMode_->setToolTip(
      tr("画像上の点をクリックし、次に参照上の同じ地点をクリックして基準点を置きます"));
  struct Item {
    const char* name;
    QString caption;
    void (frmMainLogic::*run)();
  };
  const Item items[] = {
      {"mnuTypeLonLat", tr("基準点の経緯度を入力(&T)..."), &frmMainLogic::mnuTypeLonLat_Click},
      {"mnuLoadPoints", tr("基準点ファイルを開く(&P)..."), &frmMainLogic::mnuLoadPoints_Click},
      {"mnuSavePoints", tr("基準点ファイルを保存(&V)..."), &frmMainLogic::mnuSavePoints_Click},
  };
  for (const Item& item : items) {
    QAction* a = areaMenu_->addAction(item.caption);
    a->setObjectName(QString::fromLatin1(item.name));
    connect(a, &QAction::triggered, this, [this, run = item.run] {
      Dispatch([&] { (logic_.get()->*run)(); });
      if (logic_->ControlPointMode() != controlPointMode_->isChecked())
        controlPointMode_->setChecked(logic_->ControlPointMode());
    });
    controlPointActions_.push_back(a);
  }

  controlPointDock_ = new ControlPointDock(*logic_, this);
  addDockWidget(Qt::RightDockWidgetArea, controlPointDock_);
  controlPointDock_->hide();
  connect(controlPointMode_, &QAction::toggled, this, [this](bool on) {
    if (on != logic_->ControlPointMode()) Dispatch([&] { logic_->SetControlPointMode(on); });
    // Without a picture there is nothing to place: the mode does not come on.
    if (logic_->ControlPointMode() != on) controlPointMode_->setChecked(logic_->ControlPointMode());
    if (logic_->ControlPointMode() && !controlPointDock_->isVisible()) ShowControlPointDock();
  });

  // The mode's button sits in the menu bar's corner, no higher than the menu titles: a tool
  // bar row would take height from the preview on a small screen.
  const int barHeight = menuBar()->sizeHint().height();
  auto* button = new CornerButton(barHeight - 6, menuBar());
  button->setObjectName(QStringLiteral("tbrControlPoints"));
  button->setDefaultAction(controlPointMode_);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setAutoRaise(true);
  menuBar()->setCornerWidget(button, Qt::TopRightCorner);
  connect(preview_, &PreviewWidget::MousePressed, this,
          [this](int16_t b, int16_t s, float x, float y) {
            Dispatch([&] { logic_->picDst_MouseDown(b, s, x, y); });
          });
}

// The dock opens wide enough for every column of its table; the window grows by as much where
// the screen has room, so the preview keeps its size.
void frmMain::ShowControlPointDock() {
  controlPointDock_->show();
  const int wanted = controlPointDock_->WholeTableWidth();
  if (!isMaximized() && !isFullScreen() && screen()) {
    const QRect screenArea = screen()->availableGeometry(), frame = frameGeometry();
    const int grow =
        std::clamp(wanted - controlPointDock_->width(), 0, std::max(screenArea.width() - frame.width(), 0));
    const int pastRight = frame.right() + grow - screenArea.right();
    if (pastRight > 0) move(x() - pastRight, y());
    resize(width() + grow, height());
  }
  resizeDocks({controlPointDock_}, {wanted}, Qt::Horizontal);
}

void frmMain::ControlPointsChanged() {
  if (controlPointDock_) controlPointDock_->Refill();
}

// Each point's picture pixel (a blue cross) and its longitude and latitude (a red circle),
// joined while they lie apart; the pixel still waiting for its angles is a cross alone.
void frmMain::DrawMarks(const std::vector<PreviewMark>& marks) {
  preview_->Paint([&](QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    std::map<int32_t, QPointF> pixelEnds;
    for (const PreviewMark& m : marks)
      if (!m.onMap) pixelEnds[m.number] = QPointF(m.x, m.y);
    for (const PreviewMark& m : marks) {
      const QPointF at(m.x, m.y);
      const QColor colour = !m.enabled ? QColor(128, 128, 128) : m.onMap ? QColor(220, 0, 0) : QColor(0, 64, 255);
      painter.setPen(QPen(colour, 2));
      if (m.onMap) {
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(at, 5, 5);
        if (auto it = pixelEnds.find(m.number); it != pixelEnds.end()) {
          painter.setPen(QPen(colour, 1, Qt::DashLine));
          painter.drawLine(at, it->second);
        }
        painter.setPen(QPen(colour, 1));
        painter.drawText(at + QPointF(7, -7), QString::number(m.number));
      } else {
        painter.drawLine(at - QPointF(6, 0), at + QPointF(6, 0));
        painter.drawLine(at - QPointF(0, 6), at + QPointF(0, 6));
      }
    }
  });
}

void frmMain::FillRecentReferences() {
  recentReferenceMenu_->clear();
  const QStringList files = recentReferences_.Files();
  for (qsizetype i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    QAction* a = recentReferenceMenu_->addAction(
        QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)));
    connect(a, &QAction::triggered, this, [this, path] {
      if (!QFileInfo::exists(path)) recentReferences_.Remove(path);
      AddReferenceFile(path);
    });
  }
  recentReferenceMenu_->menuAction()->setEnabled(!files.isEmpty() && jobDepth_ == 0);
}

bool frmMain::AddReferenceFile(const QString& path) {
  if (jobDepth_ > 0) return false;
  bool added = false;
  const std::u16string file = FromQ(QFileInfo(path).absoluteFilePath());
  Dispatch([&] { added = logic_->AddReferenceLayer(file); });
  if (added) ReferenceAdded();
  return added;
}

void frmMain::ReferenceAdded() {
  const ReferenceLayers& layers = logic_->References();
  recentReferences_.Add(ToQ(layers.At(layers.Count() - 1).Path()));
  referenceDock_->Refill();
  referenceDock_->show();
  FillRecentReferences();
}

void frmMain::DrawReferenceLayers(bool overPicture) {
  preview_->Paint([&](QPainter& painter) {
    picmap::DrawReferenceLayers(painter, logic_->References(), logic_->Viewport(),
                                logic_->VisibleBox(), overPicture);
  });
}

void frmMain::ZoomAtCentre(double factor) {
  const QSize c = preview_->Canvas().size();
  Dispatch([&] { logic_->ZoomPreview(factor, c.width() / 2.0f, c.height() / 2.0f); });
}

// Clean-up of real pictures: the options the next generation applies.
void frmMain::BuildCleanupItem(QMenu* convertMenu) {
  cleanup_ = convertMenu->addAction(tr("画像の整理(&L)..."));
  cleanup_->setObjectName(QStringLiteral("mnuCleanup"));
  connect(cleanup_, &QAction::triggered, this, [this] {
    CleanupDialog dialog(logic_->Cleanup(), this);
    if (dialog.exec() == QDialog::Accepted) logic_->SetCleanup(dialog.Options());
  });
}

void frmMain::BuildShowResultItem(QMenu* convertMenu) {
  showResult_ = convertMenu->addAction(tr("生成結果を表示(&G)"));
  showResult_->setObjectName(QStringLiteral("mnuShowResult"));
  showResult_->setCheckable(true);
  connect(showResult_, &QAction::toggled, this, [this] { RedrawPreview(); });
}

void frmMain::BuildRecentMenu(QMenu* fileMenu) {
  recentMenu_ = fileMenu->addMenu(tr("最近使ったファイル(&R)"));
  recentMenu_->setObjectName(QStringLiteral("mnuRecent"));
  recentMenu_->menuAction()->setObjectName(QStringLiteral("mnuRecent"));
  // Another window may have opened pictures since: the list is read as the menu opens.
  connect(recentMenu_, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
  FillRecentMenu();
}

void frmMain::FillRecentMenu() {
  recentMenu_->clear();
  const QStringList files = recent_.Files();
  for (qsizetype i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    QAction* a = recentMenu_->addAction(
        QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)));
    // The list is not refilled from here, which would delete the item being clicked: the
    // menu reads it anew when it next opens.
    connect(a, &QAction::triggered, this, [this, path] {
      // A picture that has gone is named once more in the message, then leaves the list.
      if (!QFileInfo::exists(path)) recent_.Remove(path);
      OpenPictureFile(path);
      ApplyMenuStates();
    });
  }
}

void frmMain::BuildToneMenu(QMenu* colorMenu) {
  toneMenu_ = AddSubmenu(colorMenu, Menu::mnuTone, tr("諧調圧縮(&T)"));
  for (int16_t i = 0; i < kToneItemCount; ++i) {
    QAction* a = toneMenu_->addAction(tr(kToneCaptions[i]));
    a->setObjectName(QStringLiteral("mnuToneItem%1").arg(i));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, i] { ToneItemClicked(i); });
    tones_[static_cast<size_t>(i)] = a;
  }
  connect(toneMenu_, &QMenu::aboutToShow, this,
          [this] { Dispatch([this] { logic_->mnuTone_Click(); }); });
}

QLabel* frmMain::AddLabel(Label label, const QString& toolTip) {
  auto* l = new WrappingLabel(this);
  l->setObjectName(ToQ(LabelName(label)));
  if (!toolTip.isEmpty()) l->setToolTip(toolTip);
  l->setTextFormat(Qt::PlainText);
  // A narrow window wraps the labels instead of growing beyond the screen.
  l->setWordWrap(true);
  labels_[static_cast<size_t>(label)] = l;
  return l;
}

QWidget* frmMain::BuildAreaFrame() {
  auto* frame = new QGroupBox(tr("領域情報"), this);
  frame->setObjectName(QStringLiteral("fraArea"));
  auto* grid = new QGridLayout(frame);
  grid->addWidget(AddLabel(Label::lblWest, tr("画像を貼り付ける領域の西端経度")), 0, 0);
  grid->addWidget(AddLabel(Label::lblEast, tr("画像を貼り付ける領域の東端経度")), 0, 1);
  grid->addWidget(AddLabel(Label::lblNorth, tr("画像を貼り付ける領域の北端緯度")), 1, 0);
  grid->addWidget(AddLabel(Label::lblSouth, tr("画像を貼り付ける領域の南端緯度")), 1, 1);
  grid->addWidget(AddLabel(Label::lblMapSize, tr("画像を貼り付ける領域のサイズ")), 2, 0,
                  1, 2);
  grid->setHorizontalSpacing(16);
  return frame;
}

QWidget* frmMain::BuildColorFrame() {
  auto* frame = new QGroupBox(tr("無効色"), this);
  frame->setObjectName(QStringLiteral("fraBackColor"));
  auto* grid = new QGridLayout(frame);
  swatch_ = new SwatchWidget(frame);
  connect(swatch_, &SwatchWidget::Clicked, this, [this] {
    if (jobDepth_ == 0) Dispatch([this] { logic_->picBackColor_Click(); });
  });
  grid->addWidget(swatch_, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(AddLabel(Label::lblBackColor1), 0, 1);
  auto* hint = new QLabel(tr("地図上を右クリックで取得可能"), frame);
  hint->setObjectName(QStringLiteral("lblBackColor2"));
  grid->addWidget(hint, 1, 1);
  grid->setColumnStretch(1, 1);
  return frame;
}

QWidget* frmMain::BuildPictureInfo() {
  auto* box = new QWidget(this);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(4, 8, 4, 4);
  column->addWidget(AddLabel(Label::lblImgSize, tr("開いた画像のピクセル数")));
  column->addWidget(
      AddLabel(Label::lblPixelSize, tr("画像の１ピクセルあたりの経度と緯度")));
  column->addWidget(AddLabel(Label::lblFigureNum));
  column->addStretch(1);
  return box;
}

void frmMain::BuildControls() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(6, 6, 6, 6);
  preview_ = new PreviewWidget(central);
  ConnectPreview();
  column->addWidget(preview_, 1);

  auto* row = new QHBoxLayout;
  row->addWidget(BuildAreaFrame());
  row->addWidget(BuildColorFrame());
  row->addWidget(BuildPictureInfo());
  column->addLayout(row);

  progress_ = new QProgressBar(central);
  progress_->setObjectName(QStringLiteral("prgConvert"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  column->addWidget(progress_);
  setCentralWidget(central);
  BuildStatusBar();
}

void frmMain::ConnectPreview() {
  connect(preview_, &PreviewWidget::MouseMoved, this,
          [this](int16_t b, int16_t s, float x, float y) {
            lastPointer_ = QPointF(x, y);
            Dispatch([&] { logic_->picDst_MouseMove(b, s, x, y); });
            ShowPointer(x, y);
          });
  connect(preview_, &PreviewWidget::MouseReleased, this,
          [this](int16_t b, int16_t s, float x, float y) {
            Dispatch([&] { logic_->picDst_MouseUp(b, s, x, y); });
          });
  connect(preview_, &PreviewWidget::WheelTurned, this, [this](double steps, float x, float y) {
    // Two notches double the zoom.
    lastPointer_ = QPointF(x, y);
    Dispatch([&] { logic_->ZoomPreview(std::pow(2.0, steps / 2), x, y); });
    ShowPointer(x, y);
  });
  connect(preview_, &PreviewWidget::Panned, this, [this](float dx, float dy) {
    Dispatch([&] { logic_->PanPreview(dx, dy); });
  });
  connect(preview_, &PreviewWidget::PointerLeft, this, [this] {
    lastPointer_.reset();
    pointerLabel_->clear();
  });
  connect(preview_, &PreviewWidget::CanvasResized, this,
          [this] { Dispatch([this] { logic_->DrawPreview(); }); });
}

void frmMain::ShowPointer(float x, float y) {
  lastPointer_ = QPointF(x, y);
  std::u16string text;
  Dispatch([&] { text = logic_->PointerText(x, y); });
  pointerLabel_->setText(ToQ(text));
}

void frmMain::RefreshPointer() {
  if (lastPointer_)
    ShowPointer(static_cast<float>(lastPointer_->x()), static_cast<float>(lastPointer_->y()));
}

void frmMain::BuildStatusBar() {
  pointerLabel_ = new QLabel(this);
  pointerLabel_->setObjectName(QStringLiteral("lblPointer"));
  pointerLabel_->setTextFormat(Qt::PlainText);
  pointerLabel_->setMinimumWidth(1);
  statusBar()->addWidget(pointerLabel_, 1);
  auto* caption = new QLabel(tr("不透明度(&T)"), this);
  opacity_ = new QSlider(Qt::Horizontal, this);
  opacity_->setObjectName(QStringLiteral("sldOpacity"));
  opacity_->setRange(0, 100);
  opacity_->setValue(100);
  opacity_->setPageStep(10);
  opacity_->setFixedWidth(100);
  opacity_->setToolTip(tr("貼り付けた画像の不透明度"));
  caption->setBuddy(opacity_);  // Alt+T, then the arrow or page keys
  opacityValue_ = new QLabel(QStringLiteral("100%"), this);
  opacityValue_->setMinimumWidth(opacityValue_->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
  connect(opacity_, &QSlider::valueChanged, this, [this](int v) {
    opacityValue_->setText(QStringLiteral("%1%").arg(v));
    RedrawPreview();
  });
  zoomLabel_ = new QLabel(this);
  zoomLabel_->setObjectName(QStringLiteral("lblZoom"));
  zoomLabel_->setToolTip(tr("プレビューの表示倍率"));
  zoomLabel_->setContentsMargins(0, 0, 8, 0);
  statusBar()->addPermanentWidget(zoomLabel_);
  statusBar()->addPermanentWidget(caption);
  statusBar()->addPermanentWidget(opacity_);
  statusBar()->addPermanentWidget(opacityValue_);
}

void frmMain::LoadWorldPicture() {
  const std::u16string file = WorldPictureFile(Program().folder);
  if (auto world = LoadPictureFile(file, LoaderForPath(file))) worldImage_ = ImageFromPicture(*world);
}

// The preview opens at its full 2:1 size where the screen has room for it, with room below
// for the labels as they read once a picture is open.
void frmMain::StartSize() {
  const std::pair<Label, std::u16string> samples[] = {
      {Label::lblWest, Tr("frmMain", "西端経度：") + u"W180°00′00″"},
      {Label::lblEast, Tr("frmMain", "東端経度：") + u"E180°00′00″"},
      {Label::lblNorth, Tr("frmMain", "北端緯度：") + u"N90°00′00″"},
      {Label::lblSouth, Tr("frmMain", "南端緯度：") + u"S90°00′00″"},
      {Label::lblMapSize, Tr("frmMain", "地図化領域サイズ：") + u"\n360°00′00″x180°00′00″"},
      {Label::lblImgSize, Tr("frmMain", "画像ピクセル数：") + u"\n10000x10000"},
      {Label::lblPixelSize, Tr("frmMain", "ピクセルサイズ：") + u"\n000°00′00″x000°00′00″"},
      {Label::lblBackColor1, Tr("frmMain", "色コード：BBGGRR = ") + u"000000 (#000000)"},
      {Label::lblFigureNum, Tr("frmMain", "図形総数：") + u"1000000"}};
  for (const auto& [label, text] : samples) LabelWidget(label)->setText(ToQ(text));
  QSize size = sizeHint();
  if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
    size = size.boundedTo(s->availableGeometry().size() - QSize(40, 60));  // the frame
  resize(size.expandedTo(minimumSizeHint()));
  for (const auto& [label, text] : samples) LabelWidget(label)->clear();
  LabelWidget(Label::lblImgSize)->setText(ToQ(Tr("frmMain", "画像ピクセル数：")));
  LabelWidget(Label::lblPixelSize)->setText(ToQ(Tr("frmMain", "ピクセルサイズ：")));
}

// ---- Running handlers ----

void frmMain::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const FileFailure& failure) {
    ReportEscapedError(failure.error);
  } catch (...) {
    ReportEscapedError(CurrentError());
  }
}

void frmMain::RunJob(void (frmMainLogic::*job)()) {
  ++jobDepth_;
  preview_->SetInputBlocked(true);
  ApplyMenuStates();
  Dispatch([&] { (logic_.get()->*job)(); });
  // Compression changes the map even when cancelled (merged rectangles are hidden at once).
  if (job == &frmMainLogic::mnuCompress_Click) resultStale_ = true;
  if (--jobDepth_ > 0) return;
  preview_->SetInputBlocked(false);
  ApplyMenuStates();
  if (ShowingResult() && resultStale_) RedrawPreview();
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

void frmMain::ToneItemClicked(int16_t index) {
  Dispatch([&] { logic_->mnuToneItem_Click(index); });
  // A click toggles a checkable action by itself; the marks are the logic's to set.
  for (int16_t i = 0; i < kToneItemCount; ++i)
    tones_[static_cast<size_t>(i)]->setChecked(toneChecked_[static_cast<size_t>(i)]);
}

bool frmMain::AllowedDuringJob(Menu item) const {
  return std::find(std::begin(kJobMenus), std::end(kJobMenus), item) != std::end(kJobMenus);
}

void frmMain::ApplyMenuStates() {
  const bool job = jobDepth_ > 0;
  for (int i = 0; i < kMenuCount; ++i) {
    const auto item = static_cast<Menu>(i);
    menus_[static_cast<size_t>(i)]->setEnabled(menuWanted_[static_cast<size_t>(i)] &&
                                               (!job || AllowedDuringJob(item)));
  }
  for (QAction* tone : tones_) tone->setEnabled(!job);
  worldFile_->setEnabled(!job);
  cleanup_->setEnabled(!job);
  if (recentMenu_) recentMenu_->menuAction()->setEnabled(!job && !recent_.Files().isEmpty());
  for (QAction* a : viewActions_)
    if (a) a->setEnabled(!job);
  showResult_->setEnabled(resultReady_ && !job);
  if (addReference_) addReference_->setEnabled(!job);
  if (controlPointMode_) controlPointMode_->setEnabled(!job);
  for (QAction* a : controlPointActions_) a->setEnabled(!job);
  undo_->setEnabled(canUndo_ && !job);
  redo_->setEnabled(canRedo_ && !job);
  lock_->setEnabled(!job);
}

bool frmMain::ShowingResult() const { return resultReady_ && showResult_->isChecked(); }

const QImage& frmMain::ResultImage(QSize size, const QRect& world) {
  const bool current = !resultStale_ && resultImage_.size() == size && resultWorld_ == world;
  if (current || (jobDepth_ > 0 && !resultImage_.isNull())) return resultImage_;
  const ConversionState& s = logic_->State();
  resultImage_ = RenderResultView(worldImage_, s.oMap.get(), s.things, size, world);
  resultWorld_ = world;
  resultStale_ = false;
  return resultImage_;
}

void frmMain::RedrawPreview() {
  Dispatch([this] { logic_->DrawPreview(); });
}

// ---- WindowPort: window ----

void frmMain::SetCaption(const std::u16string& caption) {
  caption_ = caption;
  setWindowTitle(ToQ(caption));
}

int32_t frmMain::WindowWidth() const { return frameGeometry().width(); }
int32_t frmMain::WindowHeight() const { return frameGeometry().height(); }

int32_t frmMain::ScreenWidth() const {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 0;
}

int32_t frmMain::ScreenHeight() const {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  return s ? s->geometry().height() : 0;
}

void frmMain::MoveWindow(int32_t left, int32_t top) { move(left, top); }

void frmMain::Refresh() {
  if (isVisible()) repaint();
}

// ---- WindowPort: dialogs ----

void frmMain::MessageWithDetail(const std::u16string& text, const std::u16string& detail,
                                bool errorIcon) {
  dialogs_->MessageWithDetail(isVisible() ? this : nullptr, text, detail, Program().title,
                              errorIcon ? MsgIcon::Error : MsgIcon::None);
}

MsgAnswer frmMain::AskYesNoCancel(const std::u16string& text) {
  return dialogs_->Message(isVisible() ? this : nullptr, text, Program().title,
                           MsgButtons::YesNoCancel, MsgIcon::Question);
}

std::u16string frmMain::InputBox(const std::u16string& prompt, const std::u16string& defaultText) {
  return dialogs_->Input(isVisible() ? this : nullptr, Program().title, prompt, defaultText);
}

// Where the user last opened a picture, else the home folder: the program's own folder holds
// nothing of the user's.
std::u16string frmMain::PictureFolder() const {
  const QString last = recent_.LastFolder();
  return FromQ(!last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath());
}

std::optional<std::u16string> frmMain::OpenFileDialog(const FileDialogRequest& request) {
  return dialogs_->OpenFile(isVisible() ? this : nullptr, request);
}

// The map is proposed beside its picture; where that folder takes no files (a picture from a
// system folder or a read-only disk, a folder removed since) the home folder is proposed
// instead, under the same name.
std::optional<std::u16string> frmMain::SaveFileDialog(const FileDialogRequest& request) {
  FileDialogRequest proposed = request;
  const InitialName name = SplitInitialName(request.fileName);
  const QFileInfo folder(name.folder);
  if (!name.folder.isEmpty() && !(folder.isDir() && folder.isWritable()))
    proposed.fileName = FromQ(QDir::homePath() + QLatin1Char('/') + name.file);
  return dialogs_->SaveFile(isVisible() ? this : nullptr, proposed);
}

std::optional<int32_t> frmMain::ColorDialog(int32_t initial) {
  return dialogs_->Color(isVisible() ? this : nullptr, initial);
}

// ---- WindowPort: menus, labels, swatch, progress ----

// Saving is offered exactly when a generation has succeeded: so is the result view, and a
// new map is there to be rendered.
void frmMain::SetMenuEnabled(Menu item, bool enabled) {
  menuWanted_[static_cast<size_t>(item)] = enabled;
  if (item == Menu::mnuSave) {
    resultReady_ = enabled;
    if (enabled) resultStale_ = true;
  }
  ApplyMenuStates();
}

void frmMain::SetUndoState(bool canUndo, bool canRedo) {
  canUndo_ = canUndo;
  canRedo_ = canRedo;
  ApplyMenuStates();
}

void frmMain::SetToneItemChecked(int16_t index, bool checked) {
  if (index < 0 || index >= kToneItemCount) return;
  toneChecked_[static_cast<size_t>(index)] = checked;
  tones_[static_cast<size_t>(index)]->setChecked(checked);
}

void frmMain::SetLabelText(Label label, const std::u16string& text) {
  LabelWidget(label)->setText(ToDisplayText(text));
}

void frmMain::SetSwatchColor(int32_t colour) { swatch_->SetColour(colour); }

// A maximum of 0 would turn the bar into a busy indicator.
void frmMain::SetProgressMax(int32_t maximum) {
  maximum = std::max(maximum, 1);
  if (maximum != progress_->maximum()) progress_->setMaximum(maximum);
}

// The bar paints itself at once whenever its picture changes (saving runs no events), so the
// long jobs, which report a value every row or every eighth figure, would spend their time
// painting: a value is shown only when its percentage differs from the one shown, at most
// once per event interval. The first and the last value of a job are always shown.
void frmMain::SetProgressValue(int32_t value) {
  if (value == progress_->value()) return;
  const int64_t maximum = progress_->maximum();
  const auto percent = [maximum](int64_t v) { return v * 100 / maximum; };
  const bool end = value <= progress_->minimum() || value >= maximum;
  const auto now = std::chrono::steady_clock::now();
  if (!end) {
    if (percent(value) == percent(progress_->value())) return;
    const auto interval = logic_ ? logic_->EventInterval() : std::chrono::milliseconds(30);
    if (now - lastProgressShown_ < interval) return;
  }
  lastProgressShown_ = now;
  progress_->setValue(value);
}

// ---- WindowPort: events and pointers ----

void frmMain::DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (eventsHook_) eventsHook_();
}

void frmMain::SetScreenPointer(int16_t code) {
  screenPointer_ = code;
  if (code == pointer::kDefault) {
    if (overrideCursor_) QGuiApplication::restoreOverrideCursor();
    overrideCursor_ = false;
    return;
  }
  const QCursor cursor(CursorForPointer(code));
  if (overrideCursor_) {
    QGuiApplication::changeOverrideCursor(cursor);
  } else {
    QGuiApplication::setOverrideCursor(cursor);
    overrideCursor_ = true;
  }
}

void frmMain::SetPreviewPointer(int16_t code) { preview_->SetPointerCode(code); }

// ---- WindowPort: picture boxes ----

bool frmMain::LoadSourcePicture(const std::u16string& path, PictureLoader loader) {
  std::optional<Picture> picture = LoadPictureFile(path, loader);
  if (!picture) return false;
  source_ = std::move(*picture);
  sourceImage_ = ImageFromPicture(source_);
  recent_.Add(AbsolutePicturePath(ToQ(path)));
  ApplyMenuStates();
  return true;
}

void frmMain::ReplaceSourcePicture(Picture picture) {
  source_ = std::move(picture);
  sourceImage_ = ImageFromPicture(source_);
}

double frmMain::PreviewWidth() const { return preview_->Canvas().width(); }
double frmMain::PreviewHeight() const { return preview_->Canvas().height(); }

void frmMain::ClearPreview() { preview_->Clear(); }

// On the result view the world picture stands for the whole preview and carries the map; the
// picture itself is not pasted over it.
void frmMain::DrawPictureInPreview(PictureBox box, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (ShowingResult()) {
    const QSize canvas = preview_->Canvas().size();
    if (box == PictureBox::picBack)
      preview_->DrawImage(ResultImage(canvas, QRect(x, y, w, h)), QRect(QPoint(0, 0), canvas));
    return;
  }
  if (box == PictureBox::picSrc)
    preview_->DrawImage(sourceImage_, QRect(x, y, w, h), opacity_->value() / 100.0);
  else
    preview_->DrawImage(worldImage_, QRect(x, y, w, h));
}

int32_t frmMain::PreviewColorAt(double x, double y) const { return preview_->ColorAt(x, y); }

// The pointer has not moved, but what lies under it may have: a new picture, new extents, a
// zoom by the keyboard.
void frmMain::PreviewDrawn() {
  if (!logic_) return;  // the first drawing, while the logic is made
  RefreshPointer();
  ShowZoom();
}

// Whole numbers as they are (2倍, 1024倍); the wheel's steps of √2 with one decimal (1.4倍).
void frmMain::ShowZoom() {
  const double zoom = logic_->Viewport().Zoom();
  QString number = QString::number(zoom, 'f', zoom < 10 ? 1 : 0);
  if (number.endsWith(QStringLiteral(".0"))) number.chop(2);
  zoomLabel_->setText(tr("表示倍率：%1倍").arg(number));
}

// ---- Opening without the dialog ----

void frmMain::OpenPictureFile(const QString& path) {
  if (jobDepth_ > 0) return;
  const std::u16string file = FromQ(AbsolutePicturePath(path));
  Dispatch([&] { logic_->OpenPicture(file); });
}

namespace {
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}
}  // namespace

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (jobDepth_ == 0 && !DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// With Shift held the file becomes a reference layer instead of the picture.
void frmMain::dropEvent(QDropEvent* event) {
  const QString file = DroppedFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  if (event->modifiers() & Qt::ShiftModifier)
    AddReferenceFile(file);
  else
    OpenPictureFile(file);
}

// ---- WindowPort: ending ----

void frmMain::CloseWindow() { close(); }

void frmMain::EndProgram() { QCoreApplication::quit(); }

void frmMain::ExitProcessNow(int code) {
  if (exitHook_) {
    exitHook_(code);
    return;
  }
  std::fflush(nullptr);
  std::_Exit(code);
}

// Closing during a long job first cancels the job; the window closes when it has returned.
void frmMain::closeEvent(QCloseEvent* event) {
  if (jobDepth_ > 0) {
    closePending_ = true;
    Dispatch([this] { logic_->mnuCancel_Click(); });
    event->ignore();
    return;
  }
  bool mayClose = true;
  if (!unloaded_) Dispatch([&] { mayClose = logic_->Form_QueryUnload(); });
  if (!mayClose) {
    event->ignore();
    return;
  }
  if (!unloaded_) {
    unloaded_ = true;
    Dispatch([this] { logic_->Form_Unload(); });
  }
  event->accept();
}

}  // namespace picmap
