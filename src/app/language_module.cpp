#include "app/language_module.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QResource>
#include <algorithm>
#include <cctype>
#include <optional>

// The program's resources are initialised from the global namespace.
static void InitProgramResources() {
  Q_INIT_RESOURCE(tonalis);
}

namespace tonalis::app {

namespace {

const char kModuleRoot[] = "/zada_vuv";
const char kProgramIconFolder[] = ":/icons/128";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// Reads a C-style quoted string ("..." with backslash escapes) that makes up
// all of `text`; nothing and a reason when it is not one.
std::optional<std::string> Unquote(std::string_view text, std::string& why) {
  text = Trim(text);
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
    why = "a text must stand in double quotes";
    return std::nullopt;
  }
  text = text.substr(1, text.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      why = "a double quote inside a text must be written \\\"";
      return std::nullopt;
    }
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (++i == text.size()) {
      why = "the text ends in a lone backslash";
      return std::nullopt;
    }
    const char e = text[i];
    switch (e) {
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'a':
        out.push_back('\a');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'v':
        out.push_back('\v');
        break;
      case '"':
      case '\\':
      case '\'':
      case '?':
        out.push_back(e);
        break;
      case 'x': {
        int value = 0;
        int digits = 0;
        while (i + 1 < text.size() && digits < 2 &&
               std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
          const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(text[++i])));
          value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
          ++digits;
        }
        if (digits == 0) {
          why = "\\x needs hexadecimal digits";
          return std::nullopt;
        }
        out.push_back(static_cast<char>(value));
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          int value = e - '0';
          for (int n = 0; n < 2 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7';
               ++n)
            value = value * 8 + (text[++i] - '0');
          out.push_back(static_cast<char>(value & 0xFF));
          break;
        }
        why = std::string("unknown escape \\") + e;
        return std::nullopt;
    }
  }
  return out;
}

// One entry while it is being read.
struct Entry {
  int line = 0;  // where it starts
  bool fuzzy = false;
  bool broken = false;  // a line of it was refused: the entry is left out
  std::optional<std::string> msgctxt, msgid, msgstr;
  std::optional<std::string>* last = nullptr;  // the field continued by "..." lines
  bool started() const { return msgctxt || msgid || msgstr || broken; }
};

class Parser {
 public:
  ParsedStringTable Run(std::string_view po) {
    int lineNo = 0;
    while (!po.empty()) {
      const std::size_t end = po.find('\n');
      std::string_view line = po.substr(0, end);
      po = end == std::string_view::npos ? std::string_view() : po.substr(end + 1);
      ++lineNo;
      if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
      if (lineNo == 1 && line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
      Line(Trim(line), lineNo);
    }
    Finish();
    return std::move(result_);
  }

 private:
  void Problem(int line, std::string text) { result_.problems.push_back({line, std::move(text)}); }

  void Line(std::string_view line, int lineNo) {
    if (line.empty()) {
      Finish();
      return;
    }
    if (line.front() == '#') {
      // A comment after the texts begins the next entry.
      if (entry_.msgstr)
        Finish();
      if (line.substr(0, 2) == "#," && line.find("fuzzy") != std::string_view::npos)
        entry_.fuzzy = true;
      if (entry_.line == 0)
        entry_.line = lineNo;
      return;
    }
    if (line.front() == '"') {
      if (entry_.broken)
        return;
      if (entry_.last == nullptr) {
        Problem(lineNo, "a text line that continues nothing");
        return;
      }
      std::string why;
      if (auto more = Unquote(line, why)) {
        **entry_.last += *more;
      } else {
        Problem(lineNo, why);
        entry_.broken = true;
      }
      return;
    }
    const std::size_t space = line.find_first_of(" \t");
    const std::string_view keyword = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? "" : line.substr(space);
    std::optional<std::string>* field = nullptr;
    if (keyword == "msgctxt" || (keyword == "msgid" && !entry_.msgctxt)) {
      if (entry_.msgid || entry_.msgstr)
        Finish();
    }
    if (keyword == "msgctxt") {
      field = &entry_.msgctxt;
    } else if (keyword == "msgid") {
      field = &entry_.msgid;
    } else if (keyword == "msgstr") {
      field = &entry_.msgstr;
    } else {
      Problem(lineNo, "unknown keyword " + std::string(keyword) +
                          " (plural forms are not used by this table)");
      entry_.last = nullptr;
      entry_.broken = true;
      return;
    }
    if (field->has_value()) {
      Problem(lineNo, std::string(keyword) + " given twice in one entry");
      entry_.last = nullptr;
      entry_.broken = true;
      return;
    }
    if (entry_.line == 0)
      entry_.line = lineNo;
    std::string why;
    if (auto text = Unquote(rest, why)) {
      *field = std::move(*text);
      entry_.last = field;
    } else {
      Problem(lineNo, why);
      entry_.last = nullptr;
      entry_.broken = true;
    }
  }

  void Finish() {
    Entry entry = std::move(entry_);
    entry_ = Entry{};
    if (!entry.started() || entry.broken)
      return;
    if (!entry.msgid || !entry.msgstr) {
      Problem(entry.line, "an entry needs both msgid and msgstr");
      return;
    }
    if (!entry.msgctxt) {
      // The header: its character set and its language matter.
      if (entry.msgid->empty()) {
        const std::string& header = *entry.msgstr;
        const std::size_t lang = header.find("Language:");
        if (lang != std::string::npos && (lang == 0 || header[lang - 1] == '\n')) {
          const std::size_t from = lang + 9;
          result_.language = std::string(Trim(header.substr(from, header.find('\n', from) - from)));
        }
        const std::size_t at = entry.msgstr->find("charset=");
        if (at != std::string::npos) {
          std::string charset = entry.msgstr->substr(at + 8, entry.msgstr->find('\n', at) - at - 8);
          for (char& c : charset)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
          if (Trim(charset) != "UTF-8")
            Problem(entry.line,
                    "the table must be written in UTF-8, not " + std::string(Trim(charset)));
        }
      } else {
        Problem(entry.line, "an entry needs its string number as msgctxt");
      }
      return;
    }
    int id = 0;
    const std::string_view number = Trim(*entry.msgctxt);
    bool digits = !number.empty() && number.size() <= 3;
    for (char c : number) digits = digits && c >= '0' && c <= '9';
    if (digits)
      id = std::stoi(std::string(number));
    if (!digits || id < kFirstStringId || id > kLastStringId) {
      Problem(entry.line,
              "msgctxt must be a string number from 1 to " + std::to_string(kLastStringId) +
                  ", not \"" + *entry.msgctxt + "\"");
      return;
    }
    if (result_.sources.count(id) != 0) {
      Problem(entry.line, "string " + std::to_string(id) + " is given twice");
      return;
    }
    result_.sources[id] = *entry.msgid;
    if (!entry.fuzzy && !entry.msgstr->empty())
      result_.strings[id] = *entry.msgstr;
  }

  Entry entry_;
  ParsedStringTable result_;
};

}  // namespace

std::string TableStrings::Load(int id) const {
  static constexpr int kPpdPieces[] = {sid::kFeatureTitle,   sid::kNoneChoice,
                                       sid::kCloseOneTable,  sid::kCloseFourTables,
                                       sid::kOpenPostScript, sid::kNoneInvocation};
  const auto it = table_.find(id);
  if (it == table_.end() || std::ranges::find(kPpdPieces, id) != std::end(kPpdPieces))
    return DefaultStrings().Load(id);
  return it->second;
}

ParsedStringTable ParseStringTable(std::string_view po) {
  return Parser().Run(po);
}

QString FindLanguageModule(const QStringList& folders) {
  for (const QString& folder : folders) {
    const QFileInfo file(QDir(folder).filePath(QString::fromLatin1(kLanguageModuleName)));
    if (file.isFile())
      return file.absoluteFilePath();
  }
  return {};
}

LanguageModule::LanguageModule(QString path, QString root)
    : path_(std::move(path)), root_(std::move(root)) {}

std::unique_ptr<LanguageModule> LanguageModule::Load(const QString& path) {
  const QString root = QString::fromLatin1(kModuleRoot);
  const QString file = QFileInfo(path).absoluteFilePath();
  if (!QResource::registerResource(file, root))
    return nullptr;
  std::unique_ptr<LanguageModule> module(new LanguageModule(file, root));
  module->loaded_ = true;
  QFile table(QLatin1Char(':') + root + QStringLiteral("/strings.po"));
  if (table.open(QIODevice::ReadOnly)) {
    const QByteArray bytes = table.readAll();
    ParsedStringTable parsed = ParseStringTable(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    module->strings_ = TableStrings(std::move(parsed.strings));
    module->problems_ = std::move(parsed.problems);
    module->language_ = QString::fromStdString(parsed.language);
    module->hasTable_ = true;
  }
  return module;
}

LanguageModule::~LanguageModule() {
  Release();
}

void LanguageModule::Release() {
  if (!loaded_)
    return;
  QResource::unregisterResource(path_, root_);
  loaded_ = false;
}

QString LanguageModule::templateFolder() const {
  return QLatin1Char(':') + root_ + QStringLiteral("/dialogs");
}

QIcon LanguageModule::icon() const {
  if (!loaded_)
    return {};
  return IconFromFolder(QLatin1Char(':') + root_ + QStringLiteral("/icons/128"));
}

QIcon IconFromFolder(const QString& folder) {
  QIcon icon;
  QDirIterator it(folder, {QStringLiteral("*.png")}, QDir::Files);
  // Read now: the pictures of a module go when it is released.
  while (it.hasNext()) icon.addPixmap(QPixmap(it.next()));
  return icon;
}

QIcon ProgramIcon() {
  static const bool initialised = [] {
    InitProgramResources();
    return true;
  }();
  (void)initialised;
  return IconFromFolder(QString::fromLatin1(kProgramIconFolder));
}

}  // namespace tonalis::app
