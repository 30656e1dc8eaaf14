#include "gui/control_point_dock.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/frm_main.h"
#include "gui/qt_text.h"
#include "support/angle.h"

namespace picmap {

namespace {

constexpr TransformKind kKinds[] = {TransformKind::Linear, TransformKind::Helmert,
                                    TransformKind::Poly1,  TransformKind::Poly2,
                                    TransformKind::Poly3,  TransformKind::ThinPlateSpline,
                                    TransformKind::Projective};

int32_t Seconds(double degrees) { return static_cast<int32_t>(std::lround(degrees * 3600)); }

QTableWidgetItem* Fixed(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

ControlPointDock::ControlPointDock(frmMainLogic& logic, QWidget* parent)
    : QDockWidget(tr("基準点"), parent), logic_(logic) {
  setObjectName(QStringLiteral("dockControlPoints"));
  auto* body = new QWidget(this);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);

  auto* row = new QHBoxLayout;
  auto* caption = new QLabel(tr("変換(&K)"), body);
  transform_ = new QComboBox(body);
  transform_->setObjectName(QStringLiteral("cboTransform"));
  for (TransformKind k : kKinds) transform_->addItem(QString::fromLatin1(TransformName(k)));
  caption->setBuddy(transform_);
  // The fit's status on a line of its own: a refusal or a note wraps there over the dock's
  // width instead of squeezing beside the box.
  rms_ = new QLabel(body);
  rms_->setObjectName(QStringLiteral("lblRms"));
  rms_->setWordWrap(true);
  row->addWidget(caption);
  row->addWidget(transform_);
  row->addStretch(1);
  column->addLayout(row);
  column->addWidget(rms_);

  table_ = new QTableWidget(0, kColumns, body);
  table_->setObjectName(QStringLiteral("tblControlPoints"));
  table_->setHorizontalHeaderLabels({tr("画素X"), tr("画素Y"), tr("経度"), tr("緯度"), tr("有効"),
                                     tr("残差")});
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setToolTip(tr("経度と緯度はセルに入力できます"));
  column->addWidget(table_, 1);
  remove_ = new QPushButton(tr("基準点を削除(&D)"), body);
  remove_->setObjectName(QStringLiteral("cmdRemovePoint"));
  column->addWidget(remove_);
  setWidget(body);

  connect(transform_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (filling_ || i < 0) return;
    logic_.SetTransform(kKinds[i]);
    emit Edited();
  });
  connect(table_, &QTableWidget::cellChanged, this, &ControlPointDock::CellChanged);
  connect(remove_, &QPushButton::clicked, this, [this] {
    const int row = table_->currentRow();
    if (row < 0) return;
    logic_.RemoveControlPoint(static_cast<size_t>(row));
    emit Edited();
  });
  Refill();
}

void ControlPointDock::Refill() {
  // The table is not rebuilt under the cell whose edit is being handed on; right after.
  if (editing_) {
    QTimer::singleShot(0, this, [this] { Refill(); });
    return;
  }
  filling_ = true;
  const std::vector<ControlPoint> rows = logic_.ControlPointRows();
  const int current = table_->currentRow();
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const ControlPoint& p = rows[static_cast<size_t>(r)];
    table_->setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(r + 1)));
    table_->setItem(r, kPixelX, Fixed(QString::number(p.pixelX, 'f', 1)));
    table_->setItem(r, kPixelY, Fixed(QString::number(p.pixelY, 'f', 1)));
    table_->setItem(r, kLongitude, new QTableWidgetItem(ToQ(LonToStr(Seconds(p.mapX)))));
    table_->setItem(r, kLatitude, new QTableWidgetItem(ToQ(LatToStr(Seconds(p.mapY)))));
    auto* enabled = new QTableWidgetItem;
    enabled->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    enabled->setCheckState(p.enabled ? Qt::Checked : Qt::Unchecked);
    table_->setItem(r, kEnabled, enabled);
    table_->setItem(r, kResidual, Fixed(p.enabled && std::isfinite(p.Residual())
                                            ? QString::number(p.Residual(), 'f', 2)
                                            : QString()));
  }
  if (current >= 0 && current < table_->rowCount()) table_->selectRow(current);
  const TransformKind kind = logic_.ControlPointTransform();
  for (int i = 0; i < static_cast<int>(std::size(kKinds)); ++i)
    if (kKinds[i] == kind) transform_->setCurrentIndex(i);
  rms_->setText(ToQ(logic_.FitStatus()));
  remove_->setEnabled(!rows.empty());
  filling_ = false;
}

int ControlPointDock::WholeTableWidth() const {
  const QFontMetrics metrics(table_->font());
  const QString widest[kColumns] = {QStringLiteral("00000.0"), QStringLiteral("00000.0"), ToQ(LonToStr(-647999)),
                                    ToQ(LatToStr(-323999)),    table_->horizontalHeaderItem(kEnabled)->text(),
                                    QStringLiteral("0000.00")};
  int width = table_->verticalHeader()->sizeHint().width() + 2 * table_->frameWidth() +
              table_->verticalScrollBar()->sizeHint().width();
  for (const QString& text : widest) width += metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth();
  const QMargins margins = widget()->layout()->contentsMargins();
  return width + margins.left() + margins.right();
}

void ControlPointDock::CellChanged(int row, int column) {
  if (filling_ || row < 0) return;
  const auto index = static_cast<size_t>(row);
  editing_ = true;
  if (column == kEnabled)
    logic_.SetControlPointEnabled(index, table_->item(row, column)->checkState() == Qt::Checked);
  else if (column == kLongitude || column == kLatitude)
    logic_.SetControlPointAngle(index, column == kLatitude, FromQ(table_->item(row, column)->text()));
  editing_ = false;
  emit Edited();
}

}  // namespace picmap
