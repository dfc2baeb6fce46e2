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

#include "model/validate.h"

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

// Whether a name may hold `c`: a character of ISO 8859-1 that the name rule
// accepts (no control characters of either half).
inline bool IsNameCharacter(QChar c) {
  const char16_t u = c.unicode();
  return u <= 0xFF && IsNameByte(static_cast<unsigned char>(u));
}

}  // namespace tonalis::ui
