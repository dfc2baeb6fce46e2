// Definition names between the core and the screen.
//
// A name is a run of bytes in the core, the library file and the PPD. The
// windows read and write those bytes as ISO 8859-1 (Latin-1): it is what CUPS
// assumes for the texts of a PPD that declares no character set, so a name
// typed here with letters such as "ä" shows the same letter in the print
// dialog. Every byte has a character, so any stored name can be shown; only
// characters of ISO 8859-1 can be typed.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <string>
#include <string_view>

namespace tonalis::ui {

// The characters of a name's bytes.
inline QString NameToQString(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The bytes of a name. Characters outside ISO 8859-1 cannot be encoded;
// callers refuse them first (see IsNameCharacter).
inline std::string NameToBytes(const QString& name) {
  const QByteArray bytes = name.toLatin1();
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Whether a name may hold `c`: a printable character of ISO 8859-1. The
// control characters of both halves (0-31, 127-159) are refused: they would
// break the PPD's lines or show as nothing in a print dialog.
inline bool IsNameCharacter(QChar c) {
  const char16_t u = c.unicode();
  if (u > 0xFF)
    return false;
  return !(u < 0x20 || (u >= 0x7F && u <= 0x9F));
}

}  // namespace tonalis::ui
