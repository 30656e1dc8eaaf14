// picBackColor: a plain colour swatch that reports a left click.
#pragma once

#include <QFrame>
#include <cstdint>

namespace picmap {

class SwatchWidget : public QFrame {
  Q_OBJECT

 public:
  explicit SwatchWidget(QWidget* parent = nullptr);
  // 0x00BBGGRR, or kSwatchButtonFace for the system's button-face colour.
  void SetColour(int32_t colour);
  int32_t Colour() const { return colour_; }
  // The colour shown, as Qt sees it.
  QColor ShownColour() const;

 signals:
  void Clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int32_t colour_;
};

}  // namespace picmap
