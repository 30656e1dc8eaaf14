// The clean-up step of the 変換 menu: colours, palette, small-region removal, regions and
// their simplification, as the command line's --colors, --palette, --sieve, --regions and
// --simplify. The next polygon generation applies them; 生成結果を表示 then shows the regions
// over the picture.
#pragma once

#include <QDialog>

#include "app/cleanup.h"

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

namespace picmap {

class CleanupDialog : public QDialog {
  Q_OBJECT

 public:
  CleanupDialog(const CleanupOptions& current, QWidget* parent);
  // The options chosen; the palette file is read when the dialog is accepted.
  const CleanupOptions& Options() const { return options_; }

  void accept() override;

 private:
  void ChoosePalette();

  CleanupOptions options_;
  QSpinBox* colours_ = nullptr;
  QLineEdit* palette_ = nullptr;
  QSpinBox* sieve_ = nullptr;
  QCheckBox* regions_ = nullptr;
  QDoubleSpinBox* simplify_ = nullptr;
  QCheckBox* smooth_ = nullptr;
};

}  // namespace picmap
