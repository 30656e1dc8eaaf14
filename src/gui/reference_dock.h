// The reference layers' list beside the preview: a check box per layer for its visibility,
// and for the layer chosen its opacity, its side of the picture and its removal.
#pragma once

#include <QDockWidget>

#include "app/reference_layers.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QSlider;

namespace picmap {

class ReferenceDock : public QDockWidget {
  Q_OBJECT

 public:
  ReferenceDock(ReferenceLayers& layers, QWidget* parent);

  // Shows the layers as they are now, the last one chosen.
  void Refill();
  QListWidget* List() const { return list_; }
  QSlider* Opacity() const { return opacity_; }
  QCheckBox* Over() const { return over_; }
  QPushButton* RemoveButton() const { return remove_; }

 signals:
  // A layer was shown, hidden, removed or changed its opacity or side: the preview is stale.
  void Changed();

 private:
  ReferenceLayer* Chosen() const;
  void ShowChosen();

  ReferenceLayers& layers_;
  QListWidget* list_;
  QSlider* opacity_;
  QCheckBox* over_;
  QPushButton* remove_;
  bool filling_ = false;
};

}  // namespace picmap
