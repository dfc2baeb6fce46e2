// The optional language module ZADA_VUV.rcc: a Qt binary resource file
// holding a translation of the program's texts, and if it likes its own
// dialog templates and its own program icon.
//
// Inside the module:
//   strings.po            the string table, a gettext PO file in UTF-8 whose
//                         entries carry the string number as msgctxt
//   dialogs/dialogNNN.ui  dialog templates 100, 102 and 129
//   icons/128/*.png       icon 128, one picture per size
// While a module is loaded its texts come from its table; a number it lacks
// (or leaves untranslated) comes from the program, and so do the pieces of
// the PPD section (the option's title, its None choice and the PostScript
// around the tables), which are never translated. Templates and the icon
// that it lacks come from the program.
#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/string_table.h"

namespace tonalis::app {

inline constexpr char kLanguageModuleName[] = "ZADA_VUV.rcc";

// Texts by number from a table in memory, and the program's own for the
// numbers it lacks and the PPD section's pieces.
class TableStrings final : public StringSource {
 public:
  explicit TableStrings(std::map<int, std::string> table) : table_(std::move(table)) {}
  std::string Load(int id) const override;
  const std::map<int, std::string>& table() const { return table_; }

 private:
  std::map<int, std::string> table_;
};

// A line of a string table that was not understood, and why.
struct StringTableProblem {
  int line = 0;
  std::string text;
};

struct ParsedStringTable {
  // The translations by number: entries with a msgctxt of a string number and a
  // non-empty msgstr that is not marked fuzzy.
  std::map<int, std::string> strings;
  // The English text each entry was translated from, by number.
  std::map<int, std::string> sources;
  std::vector<StringTableProblem> problems;
  // The header's Language field ("de", "pt_BR"); empty when it has none.
  std::string language;
};

// Reads a string table in PO form. Entries that cannot be understood are
// left out and described in `problems`.
ParsedStringTable ParseStringTable(std::string_view po);

// The first of `folders` that holds ZADA_VUV.rcc, as the module's full file
// name; empty when none does.
QString FindLanguageModule(const QStringList& folders);

class LanguageModule {
 public:
  // Registers the module file at `path` under a resource root of its own and
  // reads its string table. Null when the file is not a resource file.
  static std::unique_ptr<LanguageModule> Load(const QString& path);
  ~LanguageModule();
  LanguageModule(const LanguageModule&) = delete;
  LanguageModule& operator=(const LanguageModule&) = delete;

  // The module's full file name.
  const QString& filePath() const { return path_; }
  // Its texts. They stay readable after Release.
  const StringSource& strings() const { return strings_; }
  const std::vector<StringTableProblem>& problems() const { return problems_; }
  // The language of its table (its header's Language field): the locale
  // of its numbers and of Qt's own texts. Empty when it does not say.
  const QString& language() const { return language_; }
  // Whether the module's table had a strings.po at all.
  bool hasStringTable() const { return hasTable_; }

  // The resource folder of its dialog templates.
  QString templateFolder() const;
  // Icon 128 of the module; null when it has none.
  QIcon icon() const;

  // Unregisters the module's resources; its templates and icon are gone
  // afterwards. Done by the destructor too.
  void Release();
  bool loaded() const { return loaded_; }

 private:
  LanguageModule(QString path, QString root);

  QString path_;
  QString root_;  // the resource root, "/zada_vuv"
  TableStrings strings_{{}};
  std::vector<StringTableProblem> problems_;
  QString language_;
  bool hasTable_ = false;
  bool loaded_ = false;
};

// Icon 128 from the pictures in resource folder `folder` (one per size);
// null when there are none.
QIcon IconFromFolder(const QString& folder);

// The program's own icon 128.
QIcon ProgramIcon();

}  // namespace tonalis::app
