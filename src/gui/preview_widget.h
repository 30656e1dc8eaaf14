// picDst: the preview canvas. It keeps the drawn picture in an image of 2:1 size (so a
// colour can be read back), centred in whatever room the layout gives it, and reports
// pointer motion and button releases in the canvas's pixels with the window system's button
// numbers. The wheel zooms; the middle button, or the left one with Space held, pans.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>

class QPainter;

namespace picmap {

class PreviewWidget : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewWidget(QWidget* parent = nullptr);

  const QImage& Canvas() const { return canvas_; }
  // Where the canvas's top-left corner lies in the widget.
  QPoint CanvasOrigin() const { return origin_; }
  void Clear();
  // The whole image stretched into the rectangle, pixel for pixel without smoothing, so the
  // preview shows the picture's own colours. Only the part inside the canvas is drawn, so a
  // rectangle hundreds of times the canvas costs no more than one of its size. Below opacity
  // 1 the image is mixed with what lies beneath it.
  void DrawImage(const QImage& image, const QRect& target, double opacity = 1.0);
  // Paints onto the canvas with `paint` (and onto the colour-picking copy while there is one).
  void Paint(const std::function<void(QPainter&)>& paint);
  // 0x00BBGGRR at the point, -1 outside the canvas. A picture drawn see-through gives its
  // own colour here, not the mixed one: it is the picture's colour the user picks.
  int32_t ColorAt(double x, double y) const;
  void SetPointerCode(int16_t code);
  int16_t PointerCode() const { return pointerCode_; }
  // While blocked, pointer events are swallowed (a long job is running).
  void SetInputBlocked(bool blocked) { blocked_ = blocked; }
  bool Panning() const { return panning_; }

  QSize sizeHint() const override { return {720, 360}; }
  QSize minimumSizeHint() const override { return {240, 120}; }

 signals:
  void MouseMoved(int16_t button, int16_t shift, float x, float y);
  void MouseReleased(int16_t button, int16_t shift, float x, float y);
  void MousePressed(int16_t button, int16_t shift, float x, float y);
  // Wheel turned by `steps` notches (positive away from the user) at a canvas point.
  void WheelTurned(double steps, float x, float y);
  // The view is dragged by (dx, dy) canvas pixels.
  void Panned(float dx, float dy);
  void PointerLeft();
  // The canvas has a new size and was cleared; it needs drawing again.
  void CanvasResized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPointF ToCanvas(QPointF p) const { return p - QPointF(origin_); }

  QImage canvas_;
  QImage pick_;         // the canvas without see-through mixing, while mixed_
  bool mixed_ = false;  // something was drawn see-through since the last Clear
  QPoint origin_;
  int16_t pointerCode_ = 0;
  bool blocked_ = false;
  bool spaceDown_ = false;
  bool panning_ = false;
  Qt::MouseButton panButton_ = Qt::NoButton;
  QPointF panLast_;
};

// Draws the part of `image`, stretched into `target`, that falls inside `clip`, without
// smoothing: cheap however large the target is.
void DrawStretched(QPainter& painter, const QImage& image, const QRect& target,
                   const QRect& clip);

// The window system's numbering of the shift keys: shift 1, control 2, alt 4.
int16_t ShiftState(Qt::KeyboardModifiers modifiers);
// Left 1, right 2, middle 4 (Qt uses the same bits).
int16_t ButtonState(Qt::MouseButtons buttons);

}  // namespace picmap
