#include "gui/reference_dock.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "gui/qt_text.h"

namespace picmap {

ReferenceDock::ReferenceDock(ReferenceLayers& layers, QWidget* parent)
    : QDockWidget(tr("参照レイヤー"), parent), layers_(layers) {
  setObjectName(QStringLiteral("dockReferences"));
  auto* body = new QWidget(this);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  list_ = new QListWidget(body);
  list_->setObjectName(QStringLiteral("lstReferences"));
  list_->setToolTip(tr("チェックを外すと参照レイヤーを隠します"));
  column->addWidget(list_, 1);

  auto* row = new QHBoxLayout;
  auto* caption = new QLabel(tr("不透明度(&C)"), body);
  opacity_ = new QSlider(Qt::Horizontal, body);
  opacity_->setObjectName(QStringLiteral("sldReferenceOpacity"));
  opacity_->setRange(0, 100);
  opacity_->setPageStep(10);
  caption->setBuddy(opacity_);
  row->addWidget(caption);
  row->addWidget(opacity_, 1);
  column->addLayout(row);
  over_ = new QCheckBox(tr("画像の上に表示(&P)"), body);
  over_->setObjectName(QStringLiteral("chkReferenceOver"));
  column->addWidget(over_);
  remove_ = new QPushButton(tr("削除(&X)"), body);
  remove_->setObjectName(QStringLiteral("cmdRemoveReference"));
  column->addWidget(remove_);
  setWidget(body);

  connect(list_, &QListWidget::currentRowChanged, this, [this] { ShowChosen(); });
  connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (filling_) return;
    layers_.At(static_cast<size_t>(list_->row(item))).visible = item->checkState() == Qt::Checked;
    emit Changed();
  });
  connect(opacity_, &QSlider::valueChanged, this, [this](int v) {
    if (ReferenceLayer* l = Chosen(); l && !filling_) {
      l->opacity = v / 100.0;
      emit Changed();
    }
  });
  connect(over_, &QCheckBox::toggled, this, [this](bool on) {
    if (ReferenceLayer* l = Chosen(); l && !filling_) {
      l->over = on;
      emit Changed();
    }
  });
  connect(remove_, &QPushButton::clicked, this, [this] {
    if (!Chosen()) return;
    layers_.Remove(static_cast<size_t>(list_->currentRow()));
    Refill();
    emit Changed();
  });
  ShowChosen();
}

ReferenceLayer* ReferenceDock::Chosen() const {
  const int row = list_->currentRow();
  return row >= 0 && static_cast<size_t>(row) < layers_.Count() ? &layers_.At(static_cast<size_t>(row))
                                                                 : nullptr;
}

void ReferenceDock::Refill() {
  filling_ = true;
  list_->clear();
  for (size_t i = 0; i < layers_.Count(); ++i) {
    const ReferenceLayer& l = layers_.At(i);
    auto* item = new QListWidgetItem(ToQ(l.Name()));
    item->setToolTip(ToQ(l.Path()));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(l.visible ? Qt::Checked : Qt::Unchecked);
    list_->addItem(item);
  }
  filling_ = false;
  list_->setCurrentRow(static_cast<int>(layers_.Count()) - 1);
  ShowChosen();
}

void ReferenceDock::ShowChosen() {
  const ReferenceLayer* l = Chosen();
  const bool filling = filling_;  // also reached from Refill, through the row's change
  filling_ = true;
  opacity_->setValue(l ? static_cast<int>(std::lround(l->opacity * 100)) : 100);
  over_->setChecked(l && l->over);
  filling_ = filling;
  for (QWidget* w : {static_cast<QWidget*>(opacity_), static_cast<QWidget*>(over_),
                     static_cast<QWidget*>(remove_)})
    w->setEnabled(l != nullptr);
}

}  // namespace picmap
