// Conversions between the UTF-16 strings of the libraries and Qt's QString.
#pragma once

#include <QString>
#include <string>

namespace picmap {

inline QString ToQ(const std::u16string& s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::u16string FromQ(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<size_t>(s.size()));
}

// Texts of the logic break lines with CR LF; Qt's labels and boxes want a plain LF.
inline QString ToDisplayText(const std::u16string& s) {
  QString q = ToQ(s);
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return q;
}

}  // namespace picmap
