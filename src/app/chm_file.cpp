#include "app/chm_file.h"

#include <chm_lib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tonalis::app {

namespace {

std::uint32_t ReadU32(std::string_view bytes, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t ReadU16(std::string_view bytes, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// A text field of #SYSTEM: its bytes up to the first NUL.
std::string CText(std::string_view field) {
  return std::string(field.substr(0, std::min(field.find('\0'), field.size())));
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The character references and the few named entities a sitemap uses.
std::string DecodeEntities(std::string_view text) {
  static const std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (end == std::string_view::npos || end - i > 10) {
      out.push_back(text[i]);
      continue;
    }
    const std::string_view name = text.substr(i + 1, end - i - 1);
    bool done = false;
    for (const auto& [entity, c] : kNamed) {
      if (name == entity) {
        out.push_back(c);
        done = true;
      }
    }
    if (!done && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const unsigned long code =
          std::strtoul(std::string(name.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10);
      if (code > 0 && code < 0x80) {
        out.push_back(static_cast<char>(code));
        done = true;
      } else if (code >= 0x80 && code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        done = true;
      } else if (code >= 0x800 && code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        done = true;
      }
    }
    if (!done) {
      out.push_back('&');
      continue;
    }
    i = end;
  }
  return out;
}

// One tag of a sitemap: its lower-case name ("ul", "/ul", "object",
// "param", ...) and its attributes with lower-case names.
struct Tag {
  std::string name;
  std::map<std::string, std::string> attributes;
};

// Reads the tag starting at html[at] == '<'; `at` moves past it.
Tag ReadTag(std::string_view html, std::size_t& at) {
  Tag tag;
  std::size_t i = at + 1;
  auto skipSpace = [&] {
    while (i < html.size() && std::isspace(static_cast<unsigned char>(html[i]))) ++i;
  };
  auto isNameChar = [&](char c) {
    return !std::isspace(static_cast<unsigned char>(c)) && c != '>' && c != '=' && c != '/';
  };
  skipSpace();
  const std::size_t nameStart = i;
  if (i < html.size() && html[i] == '/')
    ++i;
  while (i < html.size() && isNameChar(html[i])) ++i;
  tag.name = Lower(html.substr(nameStart, i - nameStart));
  while (i < html.size() && html[i] != '>') {
    skipSpace();
    if (i < html.size() && html[i] == '/') {
      ++i;
      continue;
    }
    const std::size_t attrStart = i;
    while (i < html.size() && isNameChar(html[i])) ++i;
    if (i == attrStart) {
      if (i < html.size() && html[i] != '>')
        ++i;
      continue;
    }
    std::string attr = Lower(html.substr(attrStart, i - attrStart));
    skipSpace();
    std::string value;
    if (i < html.size() && html[i] == '=') {
      ++i;
      skipSpace();
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        const char quote = html[i++];
        const std::size_t end = std::min(html.find(quote, i), html.size());
        value = DecodeEntities(html.substr(i, end - i));
        i = std::min(end + 1, html.size());
      } else {
        const std::size_t valueStart = i;
        while (i < html.size() && !std::isspace(static_cast<unsigned char>(html[i])) &&
               html[i] != '>')
          ++i;
        value = DecodeEntities(html.substr(valueStart, i - valueStart));
      }
    }
    tag.attributes[attr] = value;
  }
  at = std::min(i + 1, html.size());
  return tag;
}

}  // namespace

std::map<std::uint32_t, std::string> ParseContextMap(std::string_view ivb,
                                                     std::string_view strings) {
  std::map<std::uint32_t, std::string> map;
  if (ivb.size() < 4)
    return map;
  // The leading count is the size of the pairs in bytes; trust the table's
  // own size where the two disagree.
  const std::size_t declared = ReadU32(ivb, 0);
  const std::size_t size = std::min(declared, ivb.size() - 4);
  for (std::size_t at = 4; at + 8 <= 4 + size; at += 8) {
    const std::uint32_t context = ReadU32(ivb, at);
    const std::uint32_t offset = ReadU32(ivb, at + 4);
    if (offset >= strings.size())
      continue;
    const std::string text = CText(strings.substr(offset));
    if (!text.empty())
      map.emplace(context, text);
  }
  return map;
}

ChmSystemInfo ParseSystemTable(std::string_view system) {
  ChmSystemInfo info;
  // A version number, then records of code, length and data.
  for (std::size_t at = 4; at + 4 <= system.size();) {
    const std::uint16_t code = ReadU16(system, at);
    const std::uint16_t length = ReadU16(system, at + 2);
    at += 4;
    if (at + length > system.size())
      break;
    const std::string_view data = system.substr(at, length);
    switch (code) {
      case 0:
        info.contentsFile = CText(data);
        break;
      case 2:
        info.defaultTopic = CText(data);
        break;
      case 3:
        info.title = CText(data);
        break;
      default:
        break;
    }
    at += length;
  }
  return info;
}

std::vector<ChmContentsEntry> ParseSitemap(std::string_view html) {
  std::vector<ChmContentsEntry> entries;
  int depth = -1;
  std::optional<ChmContentsEntry> open;
  for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at)) {
    if (html.substr(at, 4) == "<!--") {
      const std::size_t end = html.find("-->", at);
      at = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    Tag tag = ReadTag(html, at);
    if (tag.name == "ul") {
      ++depth;
    } else if (tag.name == "/ul") {
      depth = std::max(-1, depth - 1);
    } else if (tag.name == "object") {
      const auto type = tag.attributes.find("type");
      if (type != tag.attributes.end() && Lower(type->second) == "text/sitemap" && depth >= 0)
        open = ChmContentsEntry{depth, {}, {}};
    } else if (tag.name == "param" && open) {
      const std::string name = Lower(tag.attributes["name"]);
      if (name == "name" && open->name.empty())
        open->name = tag.attributes["value"];
      else if (name == "local")
        open->local = tag.attributes["value"];
    } else if (tag.name == "/object" && open) {
      if (!open->name.empty())
        entries.push_back(*open);
      open.reset();
    }
  }
  return entries;
}

std::optional<std::string> ResolveTopicPath(std::string_view stored,
                                            const std::function<bool(std::string_view)>& exists) {
  std::string path(stored);
  std::replace(path.begin(), path.end(), '\\', '/');
  std::string fragment;
  if (const std::size_t hash = path.find('#'); hash != std::string::npos) {
    fragment = path.substr(hash);
    path.resize(hash);
  }
  // A "mk:@MSITStore:file.chm::/topic.html" reference names the topic after
  // the "::".
  if (const std::size_t store = path.find("::"); store != std::string::npos)
    path.erase(0, store + 2);
  if (path.empty())
    return std::nullopt;
  if (path.front() != '/')
    path.insert(path.begin(), '/');
  // Drop leading folders one at a time until the rest names an object.
  for (std::size_t from = 0; from != std::string::npos; from = path.find('/', from + 1)) {
    const std::string candidate = path.substr(from);
    if (candidate.size() > 1 && exists(candidate))
      return candidate + fragment;
  }
  return std::nullopt;
}

ChmFile::ChmFile(::chmFile* handle) : handle_(handle) {}

ChmFile::~ChmFile() {
  chm_close(handle_);
}

std::unique_ptr<ChmFile> ChmFile::Open(const std::string& path) {
  ::chmFile* handle = chm_open(path.c_str());
  if (handle == nullptr)
    return nullptr;
  std::unique_ptr<ChmFile> file(new ChmFile(handle));
  if (auto system = file->Read("/#SYSTEM"))
    file->system_ = ParseSystemTable(*system);
  const auto ivb = file->Read("/#IVB");
  const auto strings = file->Read("/#STRINGS");
  if (ivb && strings)
    file->contextMap_ = ParseContextMap(*ivb, *strings);
  return file;
}

std::optional<std::string> ChmFile::Read(std::string_view objectPath) const {
  const std::string path(objectPath);
  chmUnitInfo info{};
  if (path.size() > CHM_MAX_PATHLEN ||
      chm_resolve_object(handle_, path.c_str(), &info) != CHM_RESOLVE_SUCCESS)
    return std::nullopt;
  std::string bytes(static_cast<std::size_t>(info.length), '\0');
  if (info.length == 0)
    return bytes;
  const LONGINT64 got =
      chm_retrieve_object(handle_, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                          static_cast<LONGINT64>(info.length));
  if (got != static_cast<LONGINT64>(info.length))
    return std::nullopt;
  return bytes;
}

bool ChmFile::Has(std::string_view objectPath) const {
  const std::string path(objectPath);
  chmUnitInfo info{};
  return path.size() <= CHM_MAX_PATHLEN &&
         chm_resolve_object(handle_, path.c_str(), &info) == CHM_RESOLVE_SUCCESS;
}

std::optional<std::string> ChmFile::ResolveTopic(std::string_view stored) const {
  return ResolveTopicPath(stored, [this](std::string_view path) { return Has(path); });
}

std::optional<std::string> ChmFile::TopicOfContext(std::uint32_t context) const {
  const auto it = contextMap_.find(context);
  if (it == contextMap_.end())
    return std::nullopt;
  return ResolveTopic(it->second);
}

std::optional<std::string> ChmFile::StartTopic() const {
  if (!system_.defaultTopic.empty()) {
    if (auto topic = ResolveTopic(system_.defaultTopic))
      return topic;
  }
  for (const ChmContentsEntry& entry : Contents()) {
    if (auto topic = ResolveTopic(entry.local))
      return topic;
  }
  return std::nullopt;
}

std::vector<ChmContentsEntry> ChmFile::Contents() const {
  if (system_.contentsFile.empty())
    return {};
  const auto path = ResolveTopic(system_.contentsFile);
  if (!path)
    return {};
  const auto html = Read(*path);
  return html ? ParseSitemap(*html) : std::vector<ChmContentsEntry>{};
}

}  // namespace tonalis::app
