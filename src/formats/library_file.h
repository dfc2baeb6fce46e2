// The library file: the byte image of the DefinitionLibrary table on disk.
//
// Two formats are read. The current one (version 2 or more) is exactly the
// 26,408-byte table block; the old one (version below 2) holds 100 records of
// 92 bytes with a single curve each and is converted in memory. Writing
// always produces the current format.
//
// LibraryFile holds the file open for the whole run under an exclusive lock,
// so that a second running copy cannot open it, and saves by replacing the
// file atomically while keeping that lock. A missing file is created by the
// first save only, so a command that fails leaves no empty library behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/definition_table.h"
#include "model/string_table.h"
#include "platform/file_replace.h"
#include "platform/interaction.h"

namespace tonalis {

inline constexpr const char* kLibraryFileName = "QR_grad.dat";

// The user's data folder of the program, where the window started from the
// desktop menu keeps its library: `xdgDataHome`/tonalis when that is set and
// absolute, otherwise `home`/.local/share/tonalis. Trailing slashes of
// either are dropped.
std::string UserDataFolderFor(const char* xdgDataHome, const char* home);
// The same for this process: $XDG_DATA_HOME, and $HOME or else the home
// folder of the password database.
std::string UserDataFolder();
// The library of the user's data folder, the library of the command line
// when none is named.
std::string DefaultLibraryPath();

inline constexpr int16_t kLibraryVersion = 2;
inline constexpr std::size_t kLibraryFileBytes = 26408;
inline constexpr std::size_t kOldLibraryFileBytes = 9208;
inline constexpr std::size_t kOldRecordBytes = 92;
static_assert(kLibraryFileBytes == sizeof(DefinitionLibrary));

enum class LibraryFormat {
  Empty,    // no bytes at all: a new or empty file
  Current,  // version 2 or more
  Old,      // version below 2, converted
};

// Fills `library` from a file image of either format. Bytes a short image
// lacks count as zero; a longer image is read only up to its format's size.
// The count is clamped to 0..100 and the version set to 2. Used slots beyond
// the count, bytes after names and the reserved bytes are kept as read.
LibraryFormat DecodeLibrary(std::span<const uint8_t> image, DefinitionLibrary& library);

// The 26,408-byte current-format image: version 2, the count, all 100 slots
// as they stand (free ones included) and the reserved bytes.
std::vector<uint8_t> EncodeLibrary(const DefinitionLibrary& library);

// Reads the library file at `path` into `library` without creating,
// locking or changing it, for commands that only look (the window and every
// command that writes use LibraryFile). Saves replace the file whole, so what
// is read is one saved state even while another copy holds the file. A file
// that cannot be read (missing, a folder, no permission) shows string 24
// with the system's reason and leaves the library empty.
bool ReadLibraryFile(const std::string& path, DefinitionLibrary& library, UserInteraction& ui,
                     const StringSource& strings = DefaultStrings());

class LibraryFile {
 public:
  // `path` is used as given (a bare name is relative to the current
  // directory at the time of Open). `ops` carries out the saves.
  explicit LibraryFile(std::string path = kLibraryFileName, FileOps& ops = SystemFileOps());
  ~LibraryFile();
  LibraryFile(const LibraryFile&) = delete;
  LibraryFile& operator=(const LibraryFile&) = delete;

  // Empties `library`, then opens the file for reading and writing, locks it
  // and loads it. A missing file is not created here: the library is then
  // empty, and the first successful Write creates the file (unless another
  // program has made one in the meantime; string 28 says so). Until then the
  // lock is held on the file's folder, so two copies of Tonalis that each
  // open a missing library in one folder refuse the second.
  // A read-only file asks string 82 first; declining, or any failure to open,
  // lock or read, shows string 24 and leaves the library empty (a lock held
  // by another running copy is named as the reason). Returns
  // whether the file is now held open.
  bool Open(DefinitionLibrary& library, UserInteraction& ui,
            const StringSource& strings = DefaultStrings());

  // Replaces the file's contents with the library's current-format image.
  // Shows string 28 when the file is not open or the save fails (the system's
  // reason in the message's detail); the file on disk is then as it was.
  bool Write(const DefinitionLibrary& library, UserInteraction& ui,
             const StringSource& strings = DefaultStrings());

  // Releases the file and its lock. Open may be called again afterwards.
  void Close();

  bool isOpen() const { return fd_ >= 0 || folderLockFd_ >= 0; }
  const std::string& path() const { return path_; }
  // The format found by the last successful Open.
  LibraryFormat format() const { return format_; }

 private:
  void ReportOpenFailure(UserInteraction& ui, const StringSource& strings, int error) const;
  int OpenAndLock(int& error);
  void ReleaseFolder();

  std::string path_;
  std::string openedPath_;  // path_ made absolute when it was opened
  FileOps& ops_;
  int fd_ = -1;
  // Open on a missing file, which the first Write creates: the lock on its
  // folder, held until then.
  int folderLockFd_ = -1;
  LibraryFormat format_ = LibraryFormat::Empty;
};

}  // namespace tonalis
