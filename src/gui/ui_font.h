// The window's language and font: Qt's own dialog texts in Japanese like the rest of the
// window, and a Japanese UI font for every text, so that marks such as ° ′ ″ look the same
// whether they follow Japanese or Latin text.
#pragma once

class QApplication;

namespace picmap {

// Makes a proportional Japanese gothic the application font when one is installed; the size
// stays the platform's. Without one the platform's font and its fallbacks are kept.
void UseJapaneseUiFont(QApplication& app);

// Installs Qt's Japanese translation of its standard buttons and dialogs when it is
// installed (Debian: qt6-translations-l10n). False when it was not found.
bool UseJapaneseQtTexts(QApplication& app);

}  // namespace picmap
