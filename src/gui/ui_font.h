// The window's font: a Japanese UI font for every text, so that marks such as ° ′ ″ look the
// same whether they follow Japanese or Latin text.
#pragma once

class QApplication;

namespace picmap {

// Makes a proportional Japanese gothic the application font when one is installed; the size
// stays the platform's. Without one the platform's font and its fallbacks are kept.
void UseJapaneseUiFont(QApplication& app);

}  // namespace picmap
