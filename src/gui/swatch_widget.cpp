#include "gui/swatch_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/picture_loader.h"
#include "app/window_port.h"

namespace picmap {

SwatchWidget::SwatchWidget(QWidget* parent) : QFrame(parent), colour_(kSwatchButtonFace) {
  setObjectName(QStringLiteral("picBackColor"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setFixedSize(40, 40);
  setCursor(Qt::PointingHandCursor);
}

void SwatchWidget::SetColour(int32_t colour) {
  colour_ = colour;
  update();
}

QColor SwatchWidget::ShownColour() const {
  if (colour_ == kSwatchButtonFace) return palette().color(QPalette::Button);
  return QColor(RgbFromColour(colour_));
}

void SwatchWidget::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.fillRect(contentsRect(), ShownColour());
  }
  QFrame::paintEvent(event);
}

void SwatchWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit Clicked();
  QFrame::mouseReleaseEvent(event);
}

}  // namespace picmap
