// The control points' table beside the preview: pixel, longitude, latitude, enabled and
// residual of every point, the transformation fitted to them and the fit's RMS. Angles are
// typed into their cells as the edges' input boxes take them.
#pragma once

#include <QDockWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace picmap {

class frmMainLogic;

class ControlPointDock : public QDockWidget {
  Q_OBJECT

 public:
  enum Column { kPixelX, kPixelY, kLongitude, kLatitude, kEnabled, kResidual, kColumns };

  ControlPointDock(frmMainLogic& logic, QWidget* parent);

  // Shows the points and the fit as the logic has them now.
  void Refill();
  // The width that shows every column of the table with angles in full, without scrolling.
  int WholeTableWidth() const;
  QTableWidget* Table() const { return table_; }
  QComboBox* Transform() const { return transform_; }
  QLabel* Rms() const { return rms_; }
  QPushButton* RemoveButton() const { return remove_; }

 signals:
  // A change by the table went to the logic (which redraws the preview itself).
  void Edited();

 private:
  void CellChanged(int row, int column);

  frmMainLogic& logic_;
  QTableWidget* table_;
  QComboBox* transform_;
  QLabel* rms_;
  QPushButton* remove_;
  bool filling_ = false;
  bool editing_ = false;  // a cell's edit is going to the logic
};

}  // namespace picmap
