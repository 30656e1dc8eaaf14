#include "gui/preview_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "app/picture_loader.h"
#include "gui/cursors.h"

namespace picmap {

namespace {
const QColor kClearColour(Qt::white);
}

int16_t ShiftState(Qt::KeyboardModifiers modifiers) {
  int16_t s = 0;
  if (modifiers & Qt::ShiftModifier) s |= 1;
  if (modifiers & Qt::ControlModifier) s |= 2;
  if (modifiers & Qt::AltModifier) s |= 4;
  return s;
}

int16_t ButtonState(Qt::MouseButtons buttons) {
  int16_t b = 0;
  if (buttons & Qt::LeftButton) b |= 1;
  if (buttons & Qt::RightButton) b |= 2;
  if (buttons & Qt::MiddleButton) b |= 4;
  return b;
}

PreviewWidget::PreviewWidget(QWidget* parent)
    : QWidget(parent), canvas_(720, 360, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("picDst"));
  setMouseTracking(true);
  setMinimumWidth(180);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setFixedHeight(360);
  setAttribute(Qt::WA_OpaquePaintEvent);
  canvas_.fill(kClearColour);
}

void PreviewWidget::Clear() {
  canvas_.fill(kClearColour);
  update();
}

void PreviewWidget::DrawImage(const QImage& image, const QRect& target) {
  if (image.isNull() || target.isEmpty()) return;
  QPainter painter(&canvas_);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, image);
  update();
}

int32_t PreviewWidget::ColorAt(double x, double y) const {
  if (!(x >= 0 && y >= 0 && x < canvas_.width() && y < canvas_.height())) return -1;
  const QPoint p(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
  return ColourFromRgb(canvas_.pixel(p));
}

void PreviewWidget::SetPointerCode(int16_t code) {
  pointerCode_ = code;
  setCursor(CursorForPointer(code));
}

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, canvas_);
}

// The preview arithmetic takes one scale for both axes, so the height follows the width 2:1.
void PreviewWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int wanted = width() / 2;
  if (height() != wanted) setFixedHeight(wanted);
  if (canvas_.size() == size()) return;
  canvas_ = QImage(size(), QImage::Format_RGB32);
  canvas_.fill(kClearColour);
  if (height() == wanted) emit CanvasResized();
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event) {
  if (blocked_) return;
  const QPointF p = event->position();
  emit MouseMoved(ButtonState(event->buttons()), ShiftState(event->modifiers()),
                  static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void PreviewWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (blocked_) return;
  const QPointF p = event->position();
  emit MouseReleased(ButtonState(event->button()), ShiftState(event->modifiers()),
                     static_cast<float>(p.x()), static_cast<float>(p.y()));
}

}  // namespace picmap
