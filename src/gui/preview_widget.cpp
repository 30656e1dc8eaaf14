#include "gui/preview_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
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

void DrawStretched(QPainter& painter, const QImage& image, const QRect& target,
                   const QRect& clip) {
  const QRect visible = target & clip;
  if (image.isNull() || visible.isEmpty()) return;
  const double sx = double(image.width()) / target.width();
  const double sy = double(image.height()) / target.height();
  const int c0 = std::clamp(int(std::floor((visible.left() - target.left()) * sx)), 0, image.width());
  const int c1 = std::clamp(int(std::ceil((visible.right() + 1 - target.left()) * sx)), c0, image.width());
  const int r0 = std::clamp(int(std::floor((visible.top() - target.top()) * sy)), 0, image.height());
  const int r1 = std::clamp(int(std::ceil((visible.bottom() + 1 - target.top()) * sy)), r0, image.height());
  if (c1 == c0 || r1 == r0) return;
  const QRectF dest(target.left() + c0 / sx, target.top() + r0 / sy, (c1 - c0) / sx,
                    (r1 - r0) / sy);
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setClipRect(visible);
  painter.drawImage(dest, image, QRect(c0, r0, c1 - c0, r1 - r0));
  painter.restore();
}

PreviewWidget::PreviewWidget(QWidget* parent)
    : QWidget(parent), canvas_(720, 360, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("picDst"));
  setMouseTracking(true);
  setFocusPolicy(Qt::WheelFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAttribute(Qt::WA_OpaquePaintEvent);
  canvas_.fill(kClearColour);
}

void PreviewWidget::Clear() {
  canvas_.fill(kClearColour);
  mixed_ = false;
  update();
}

void PreviewWidget::DrawImage(const QImage& image, const QRect& target, double opacity) {
  if (image.isNull() || target.isEmpty()) return;
  if (opacity < 1 && !mixed_) {
    pick_ = canvas_.copy();
    mixed_ = true;
  }
  {
    QPainter painter(&canvas_);
    painter.setOpacity(std::clamp(opacity, 0.0, 1.0));
    DrawStretched(painter, image, target, canvas_.rect());
  }
  if (mixed_) {
    QPainter painter(&pick_);
    DrawStretched(painter, image, target, pick_.rect());
  }
  update();
}

void PreviewWidget::Paint(const std::function<void(QPainter&)>& paint) {
  {
    QPainter painter(&canvas_);
    paint(painter);
  }
  if (mixed_) {
    QPainter painter(&pick_);
    paint(painter);
  }
  update();
}

int32_t PreviewWidget::ColorAt(double x, double y) const {
  if (!(x >= 0 && y >= 0 && x < canvas_.width() && y < canvas_.height())) return -1;
  const QPoint p(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
  return ColourFromRgb((mixed_ ? pick_ : canvas_).pixel(p));
}

void PreviewWidget::SetPointerCode(int16_t code) {
  pointerCode_ = code;
  if (!panning_) setCursor(CursorForPointer(code));
}

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.drawImage(origin_, canvas_);
}

// The preview arithmetic takes one scale for both axes, so the canvas is the largest 2:1
// rectangle that fits; the rest of the widget stays empty.
void PreviewWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int w = std::max(std::min(width(), 2 * height()), 2);
  const QSize wanted(w, w / 2);
  origin_ = QPoint((width() - wanted.width()) / 2, (height() - wanted.height()) / 2);
  if (canvas_.size() == wanted) return;
  canvas_ = QImage(wanted, QImage::Format_RGB32);
  Clear();
  emit CanvasResized();
}

void PreviewWidget::mousePressEvent(QMouseEvent* event) {
  if (blocked_) return;
  const bool pan = event->button() == Qt::MiddleButton ||
                   (event->button() == Qt::LeftButton && spaceDown_);
  if (!pan && !panning_) {
    const QPointF p = ToCanvas(event->position());
    emit MousePressed(ButtonState(event->button()), ShiftState(event->modifiers()),
                      static_cast<float>(p.x()), static_cast<float>(p.y()));
    return;
  }
  if (!pan || panning_) return;
  panning_ = true;
  panButton_ = event->button();
  panLast_ = event->position();
  setCursor(Qt::ClosedHandCursor);
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event) {
  if (blocked_) return;
  const QPointF p = ToCanvas(event->position());
  if (panning_) {
    const QPointF d = event->position() - panLast_;
    panLast_ = event->position();
    emit Panned(static_cast<float>(d.x()), static_cast<float>(d.y()));
    return;
  }
  emit MouseMoved(ButtonState(event->buttons()), ShiftState(event->modifiers()),
                  static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void PreviewWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (blocked_) return;
  if (panning_) {
    if (event->button() == panButton_) {
      panning_ = false;
      setCursor(CursorForPointer(pointerCode_));
    }
    return;
  }
  const QPointF p = ToCanvas(event->position());
  emit MouseReleased(ButtonState(event->button()), ShiftState(event->modifiers()),
                     static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void PreviewWidget::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (blocked_) return;
  const QPointF p = ToCanvas(event->position());
  const double steps = event->angleDelta().y() / 120.0;
  if (steps != 0) emit WheelTurned(steps, static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void PreviewWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space) return QWidget::keyPressEvent(event);
  spaceDown_ = true;
  if (!panning_) setCursor(Qt::OpenHandCursor);
}

void PreviewWidget::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space) return QWidget::keyReleaseEvent(event);
  if (event->isAutoRepeat()) return;
  spaceDown_ = false;
  if (!panning_) setCursor(CursorForPointer(pointerCode_));
}

// Space is read here only while the preview has the keyboard; the pointer over it gives it.
void PreviewWidget::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  setFocus(Qt::MouseFocusReason);
}

void PreviewWidget::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  emit PointerLeft();
}

}  // namespace picmap
