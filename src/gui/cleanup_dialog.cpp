#include "gui/cleanup_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

#include "support/errors.h"

namespace picmap {

namespace {

// A tolerance box that takes a decimal comma for the point: where the locale groups digits
// with a comma, "0,5" read as 5 pixels.
class DecimalBox : public QDoubleSpinBox {
 public:
  using QDoubleSpinBox::QDoubleSpinBox;
  QValidator::State validate(QString& text, int& pos) const override {
    text.replace(',', '.');
    return QDoubleSpinBox::validate(text, pos);
  }
  double valueFromText(const QString& text) const override {
    return QDoubleSpinBox::valueFromText(QString(text).replace(',', '.'));
  }
};

}  // namespace

CleanupDialog::CleanupDialog(const CleanupOptions& current, QWidget* parent)
    : QDialog(parent), options_(current) {
  setObjectName(QStringLiteral("dlgCleanup"));
  setWindowTitle(tr("画像の整理"));
  auto* form = new QFormLayout;
  colours_ = new QSpinBox(this);
  colours_->setObjectName(QStringLiteral("spnColours"));
  // One colour is no reduction: the least value shows as such, so a typed 1 does not stand
  // for a single colour that would never be used.
  colours_->setRange(1, kMaxCleanColours);
  colours_->setSpecialValueText(tr("減らさない"));
  colours_->setValue(std::max(current.colours, 1));
  form->addRow(tr("色数(&C):"), colours_);

  palette_ = new QLineEdit(this);
  palette_->setObjectName(QStringLiteral("txtPalette"));
  auto* browse = new QPushButton(tr("参照(&B)..."), this);
  connect(browse, &QPushButton::clicked, this, &CleanupDialog::ChoosePalette);
  auto* paletteRow = new QHBoxLayout;
  paletteRow->addWidget(palette_);
  paletteRow->addWidget(browse);
  // A row of a layout gets no buddy of its own: without one the access key showed as "&P".
  auto* paletteLabel = new QLabel(tr("パレット(&P):"), this);
  paletteLabel->setBuddy(palette_);
  form->addRow(paletteLabel, paletteRow);
  // A palette gives the colours: the number of colours is greyed out while one is named.
  connect(palette_, &QLineEdit::textChanged, this,
          [this](const QString& text) { colours_->setEnabled(text.trimmed().isEmpty()); });
  palette_->setText(QString::fromStdU16String(current.paletteFile));

  sieve_ = new QSpinBox(this);
  sieve_->setObjectName(QStringLiteral("spnSieve"));
  sieve_->setRange(0, 1000000);
  sieve_->setSpecialValueText(tr("除去しない"));
  sieve_->setSuffix(tr(" ピクセル未満を除去"));
  sieve_->setValue(current.sieve);
  form->addRow(tr("小領域(&S):"), sieve_);

  regions_ = new QCheckBox(tr("長方形でなく領域ごとに1つのポリゴン(&R)"), this);
  regions_->setObjectName(QStringLiteral("chkRegions"));
  regions_->setChecked(current.regions);
  form->addRow(regions_);

  simplify_ = new DecimalBox(this);
  simplify_->setObjectName(QStringLiteral("spnSimplify"));
  simplify_->setRange(0, 1000);
  simplify_->setDecimals(1);
  simplify_->setSingleStep(0.5);
  simplify_->setSuffix(tr(" ピクセル"));
  simplify_->setValue(current.simplify);
  simplify_->setEnabled(current.regions);
  connect(regions_, &QCheckBox::toggled, simplify_, &QWidget::setEnabled);
  form->addRow(tr("境界の簡略化(&I):"), simplify_);

  smooth_ = new QCheckBox(tr("境界の角を丸める(&O)"), this);
  smooth_->setObjectName(QStringLiteral("chkSmooth"));
  smooth_->setChecked(current.smooth);
  smooth_->setEnabled(current.regions);
  connect(regions_, &QCheckBox::toggled, smooth_, &QWidget::setEnabled);
  form->addRow(smooth_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  setLayout(form);
}

void CleanupDialog::ChoosePalette() {
  const QString file = QFileDialog::getOpenFileName(
      this, tr("パレットファイル"), palette_->text(),
      tr("パレット (*.gpl *.txt);;すべてのファイル (*)"));
  if (!file.isEmpty()) palette_->setText(file);
}

void CleanupDialog::accept() {
  CleanupOptions o;
  o.colours = colours_->value() >= 2 ? colours_->value() : 0;
  o.sieve = sieve_->value();
  o.regions = regions_->isChecked();
  o.simplify = o.regions ? simplify_->value() : 0;
  o.smooth = o.regions && smooth_->isChecked();
  if (!palette_->text().trimmed().isEmpty()) {
    try {
      o.paletteFile = palette_->text().trimmed().toStdU16String();
      o.palette = ReadPaletteFile(o.paletteFile);
    } catch (const Error& e) {
      QMessageBox::warning(this, windowTitle(), QString::fromStdU16String(e.Description()));
      return;
    }
    o.colours = 0;
  }
  options_ = std::move(o);
  QDialog::accept();
}

}  // namespace picmap
