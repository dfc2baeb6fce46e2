// Reading a compiled HTML Help file (.chm) through libchm: its topics and
// pictures, the table that maps context numbers to topics, and the project
// settings the compiler stored (title, default topic, contents file).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;

namespace tonalis::app {

// What the compiler kept of the project's [OPTIONS].
struct ChmSystemInfo {
  std::string title;
  std::string defaultTopic;  // as written in the project, e.g. "index.html"
  std::string contentsFile;  // e.g. "contents.hhc"
};

// One entry of the table of contents, in document order; depth 0 is the
// outermost level.
struct ChmContentsEntry {
  int depth = 0;
  std::string name;
  std::string local;  // the topic, relative to the archive's root
};

class ChmFile {
 public:
  // Opens the file at `path` (a file-system path); null when it cannot be
  // read or is no compiled help file.
  static std::unique_ptr<ChmFile> Open(const std::string& path);
  ~ChmFile();
  ChmFile(const ChmFile&) = delete;
  ChmFile& operator=(const ChmFile&) = delete;

  // The bytes of an object of the archive ("/main.html"; case does not
  // matter); nothing when there is no such object.
  std::optional<std::string> Read(std::string_view objectPath) const;
  bool Has(std::string_view objectPath) const;

  // The topic of `context` as an archive path ("/main.html", perhaps with a
  // "#fragment"), or nothing when the file does not map that number.
  std::optional<std::string> TopicOfContext(std::uint32_t context) const;
  // Every mapped context and its topic as stored in the file.
  const std::map<std::uint32_t, std::string>& contextMap() const { return contextMap_; }

  const ChmSystemInfo& system() const { return system_; }
  // The topic to start on: the project's default topic, or the first topic
  // of the contents when it has none.
  std::optional<std::string> StartTopic() const;
  std::vector<ChmContentsEntry> Contents() const;

  // The archive path for a topic name as compilers store it: turns
  // backslashes into slashes and keeps the longest tail of the path that
  // names an object of the archive, since compilers store topics relative to
  // the project ("main.html"), rooted ("/main.html") or with the folder they
  // were compiled in ("/home/x/build/help/main.html"). A "#fragment" is kept.
  std::optional<std::string> ResolveTopic(std::string_view stored) const;

 private:
  explicit ChmFile(::chmFile* handle);
  ::chmFile* handle_;
  ChmSystemInfo system_;
  std::map<std::uint32_t, std::string> contextMap_;
};

// The pieces of the reader, for tests.

// The context map from the file's #IVB table (a byte count, then pairs of
// context number and offset into #STRINGS) and its #STRINGS table
// (NUL-terminated texts). Entries that point outside #STRINGS are skipped.
std::map<std::uint32_t, std::string> ParseContextMap(std::string_view ivb,
                                                     std::string_view strings);

// The project settings from the file's #SYSTEM table.
ChmSystemInfo ParseSystemTable(std::string_view system);

// The entries of a contents file (an HTML sitemap of nested lists).
std::vector<ChmContentsEntry> ParseSitemap(std::string_view html);

// ResolveTopic's rule over any set of objects.
std::optional<std::string> ResolveTopicPath(std::string_view stored,
                                            const std::function<bool(std::string_view)>& exists);

}  // namespace tonalis::app
