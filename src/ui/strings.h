// Texts for the GUI. Every text the user sees is loaded by its number from a
// StringSource: the built-in table, or later a language module's.
#pragma once

#include <QString>
#include <string_view>

#include "model/string_table.h"

namespace tonalis::ui {

// The text of string `id` of `source`; empty when the source lacks it.
QString LoadString(const StringSource& source, int id);

// The core's texts are UTF-8.
inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string ToStdString(const QString& text) {
  return text.toStdString();
}

}  // namespace tonalis::ui
