// picDst: the preview canvas. It keeps the drawn picture in an image of its own size (so a
// colour can be read back), keeps its height at half its width, and reports pointer motion
// and button releases in its own pixels with the window system's button numbers.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace picmap {

class PreviewWidget : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewWidget(QWidget* parent = nullptr);

  const QImage& Canvas() const { return canvas_; }
  void Clear();
  // The whole image stretched into the rectangle, pixel for pixel without smoothing, so the
  // preview shows (and a right click picks) the picture's own colours.
  void DrawImage(const QImage& image, const QRect& target);
  // 0x00BBGGRR at the point, -1 outside the canvas.
  int32_t ColorAt(double x, double y) const;
  void SetPointerCode(int16_t code);
  int16_t PointerCode() const { return pointerCode_; }
  // While blocked, pointer events are swallowed (a long job is running).
  void SetInputBlocked(bool blocked) { blocked_ = blocked; }

  QSize sizeHint() const override { return {720, 360}; }

 signals:
  void MouseMoved(int16_t button, int16_t shift, float x, float y);
  void MouseReleased(int16_t button, int16_t shift, float x, float y);
  // The canvas has a new size and was cleared; it needs drawing again.
  void CanvasResized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage canvas_;
  int16_t pointerCode_ = 0;
  bool blocked_ = false;
};

// The window system's numbering of the shift keys: shift 1, control 2, alt 4.
int16_t ShiftState(Qt::KeyboardModifiers modifiers);
// Left 1, right 2, middle 4 (Qt uses the same bits).
int16_t ButtonState(Qt::MouseButtons buttons);

}  // namespace picmap
