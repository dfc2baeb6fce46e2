#include "formats/library_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/file_lock.h"

namespace tonalis {

namespace {

constexpr std::size_t kSlotsOffset = 4;
constexpr std::size_t kReservedOffset = kSlotsOffset + kLibraryCapacity * kDensityDefBytes;
static_assert(kReservedOffset == 26404);

// How often Open tries again when the file at the path was replaced between
// opening and locking it (another copy saved it at that moment).
constexpr int kOpenAttempts = 8;

int16_t ClampCount(int16_t count) {
  // A negative count would make every walk over the table stop at once and
  // then count upward from below zero when entries are added: take it as 0.
  if (count < 0)
    return 0;
  return std::min<int16_t>(count, kLibraryCapacity);
}

// The first `size` bytes of `image`, zero-padded when the image is shorter.
std::vector<uint8_t> Padded(std::span<const uint8_t> image, std::size_t size) {
  std::vector<uint8_t> block(size, 0);
  std::copy_n(image.begin(), std::min(size, image.size()), block.begin());
  return block;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/')
    return path;
  char cwd[4096];
  if (!::getcwd(cwd, sizeof cwd))
    return path;
  return std::string(cwd) + "/" + path;
}

void ShowOpenFailure(const std::string& path, UserInteraction& ui, const StringSource& strings,
                     int error) {
  Message m = StringMessage(strings, sid::kLibraryOpenFailed);
  m.text = FillPlaceholders(m.text, path);
  m.subject = path;
  if (error == EWOULDBLOCK)
    m.detail = HeldOpenReason(path);  // names the copy that holds it, when /proc tells
  else if (error != 0)
    m.detail = FileFailureReason(path, error);
  ui.Show(m);
}

// Reads at most `bytes` bytes from the start of `fd`; returns 0 or errno.
int ReadUpTo(int fd, std::vector<uint8_t>& image, std::size_t bytes) {
  image.resize(bytes);
  std::size_t got = 0;
  while (got < image.size()) {
    const ssize_t n = ::pread(fd, image.data() + got, image.size() - got, static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  image.resize(got);
  return 0;
}

}  // namespace

std::string UserDataFolderFor(const char* xdgDataHome, const char* home) {
  auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  };
  if (xdgDataHome && xdgDataHome[0] == '/')
    return trimmed(xdgDataHome) + "/tonalis";
  std::string base = trimmed(home ? home : "");
  if (base == "/")
    base.clear();
  return base + "/.local/share/tonalis";
}

std::string UserDataFolder() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const struct passwd* entry = ::getpwuid(::getuid());
    home = entry ? entry->pw_dir : nullptr;
  }
  return UserDataFolderFor(std::getenv("XDG_DATA_HOME"), home);
}

std::string DefaultLibraryPath() {
  return UserDataFolder() + "/" + kLibraryFileName;
}

bool ReadLibraryFile(const std::string& path, DefinitionLibrary& library, UserInteraction& ui,
                     const StringSource& strings) {
  EmptyTable(library);
  library.version = kLibraryVersion;
  const int fd = OpenResolved(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a FIFO must not block
  int error = fd < 0 ? errno : 0;
  std::vector<uint8_t> image;
  if (fd >= 0) {
    struct stat held;
    if (::fstat(fd, &held) != 0)
      error = errno;
    else if (S_ISDIR(held.st_mode))
      error = EISDIR;
    else if (!S_ISREG(held.st_mode))
      error = EINVAL;
    else
      error = ReadUpTo(fd, image, kLibraryFileBytes);
    ::close(fd);
  }
  if (error != 0) {
    ShowOpenFailure(path, ui, strings, error);
    return false;
  }
  DecodeLibrary(image, library);
  return true;
}

LibraryFormat DecodeLibrary(std::span<const uint8_t> image, DefinitionLibrary& library) {
  EmptyTable(library);
  library.version = kLibraryVersion;
  if (image.empty())
    return LibraryFormat::Empty;

  // A one-byte file gives the low byte of the version only.
  const uint8_t head[2] = {image[0], image.size() > 1 ? image[1] : uint8_t{0}};
  if (LoadLE16(head) >= kLibraryVersion) {
    const std::vector<uint8_t> block = Padded(image, kLibraryFileBytes);
    library.count = ClampCount(LoadLE16(&block[2]));
    for (int i = 0; i < kLibraryCapacity; ++i) {
      library.slots[i] = DecodeDensityDef(std::span<const uint8_t, kDensityDefBytes>(
          &block[kSlotsOffset + kDensityDefBytes * i], kDensityDefBytes));
    }
    std::memcpy(library.reserved, &block[kReservedOffset], sizeof library.reserved);
    return LibraryFormat::Current;
  }

  // Old format: one curve per definition, serving all four colours.
  const std::vector<uint8_t> block = Padded(image, kOldLibraryFileBytes);
  library.count = ClampCount(LoadLE16(&block[2]));
  for (int i = 0; i < library.count; ++i) {
    const uint8_t* record = &block[kSlotsOffset + kOldRecordBytes * i];
    DensityDef& def = library.slots[i];
    def.allChannels = 1;
    std::memcpy(def.name, record, kNameFieldSize);
    const ToneCurve curve = DecodeToneCurve(
        std::span<const uint8_t, kToneCurveBytes>(record + kNameFieldSize, kToneCurveBytes));
    for (ToneCurve& channel : def.channels) channel = curve;
  }
  return LibraryFormat::Old;
}

std::vector<uint8_t> EncodeLibrary(const DefinitionLibrary& library) {
  std::vector<uint8_t> image(kLibraryFileBytes, 0);
  StoreLE16(&image[0], kLibraryVersion);
  StoreLE16(&image[2], library.count);
  for (int i = 0; i < kLibraryCapacity; ++i) {
    EncodeDensityDef(library.slots[i],
                     std::span<uint8_t, kDensityDefBytes>(
                         &image[kSlotsOffset + kDensityDefBytes * i], kDensityDefBytes));
  }
  std::memcpy(&image[kReservedOffset], library.reserved, sizeof library.reserved);
  return image;
}

LibraryFile::LibraryFile(std::string path, FileOps& ops) : path_(std::move(path)), ops_(ops) {}

LibraryFile::~LibraryFile() {
  Close();
}

void LibraryFile::Close() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  ReleaseFolder();
}

void LibraryFile::ReleaseFolder() {
  if (folderLockFd_ >= 0)
    ::close(folderLockFd_);
  folderLockFd_ = -1;
}

void LibraryFile::ReportOpenFailure(UserInteraction& ui, const StringSource& strings,
                                    int error) const {
  ShowOpenFailure(path_, ui, strings, error);
}

// Opens the file, takes the exclusive lock and makes sure the locked file is
// still the one at the path. Returns the descriptor, or -1 with `error` set;
// -1 with `error` 0 when there is no file yet and the first save may create
// it.
int LibraryFile::OpenAndLock(int& error) {
  const std::string& path = openedPath_;
  error = 0;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    // Loops and links another user planted in a shared folder are refused.
    const int fd = OpenResolved(path, O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
      // A missing library is made by its first save, but never through a
      // link whose file is gone: that would put the library wherever the
      // link points. The folder must let that save create it.
      struct stat entry;
      if (::lstat(path.c_str(), &entry) == 0) {
        if (S_ISLNK(entry.st_mode)) {
          error = ENOENT;
          return -1;
        }
        continue;  // another copy has just made it
      }
      const ResolvedPath resolved = ResolveTarget(path);
      if (resolved.error != 0) {
        error = resolved.error;
        return -1;
      }
      const std::string folder = resolved.path.substr(0, resolved.path.rfind('/') + 1);
      if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        error = errno;
        return -1;
      }
      // Until that save, the folder's lock keeps other copies from opening
      // the library as well; whoever holds it and still finds no file is the
      // one to make it.
      const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (folderFd < 0 || ::flock(folderFd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        if (folderFd >= 0)
          ::close(folderFd);
        return -1;
      }
      if (::lstat(path.c_str(), &entry) == 0) {
        ::close(folderFd);
        continue;
      }
      folderLockFd_ = folderFd;
      return -1;
    }
    if (fd < 0) {
      error = errno;
      return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      error = errno;
      ::close(fd);
      return -1;
    }
    struct stat held, named;
    if (::fstat(fd, &held) != 0) {
      error = errno;
      ::close(fd);
      return -1;
    }
    if (!S_ISREG(held.st_mode)) {
      error = EINVAL;
      ::close(fd);
      return -1;
    }
    // Another copy may have replaced the file between our open and our lock;
    // then we hold the lock of a file nobody reads any more.
    if (::stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      return fd;
    }
    ::close(fd);
  }
  error = EAGAIN;
  return -1;
}

bool LibraryFile::Open(DefinitionLibrary& library, UserInteraction& ui,
                       const StringSource& strings) {
  Close();
  EmptyTable(library);
  library.version = kLibraryVersion;
  format_ = LibraryFormat::Empty;

  if (IsReadOnly(path_)) {
    Message question = StringMessage(strings, sid::kLibraryReadOnly, MessageKind::Proceed);
    question.question = Question::MakeWritable;
    question.subject = path_;
    if (!ui.Ask(question)) {
      ReportOpenFailure(ui, strings, 0);
      return false;
    }
    // Should this fail, the open below fails and says why.
    MakeWritable(path_);
  }

  // Saves go to the file opened here even if the current directory changes
  // later (a file dialog may change it).
  openedPath_ = AbsolutePath(path_);
  int error = 0;
  const int fd = OpenAndLock(error);
  if (fd < 0 && error == 0) {
    // An empty library until the first save creates the file.
    RemoveStaleTemporaries(openedPath_);
    return true;
  }
  if (fd < 0) {
    ReportOpenFailure(ui, strings, error);
    return false;
  }

  // A file of either format is at most one current-format block long; more
  // bytes than that belong to no format and are not read.
  std::vector<uint8_t> image;
  if ((error = ReadUpTo(fd, image, kLibraryFileBytes)) != 0) {
    ::close(fd);
    ReportOpenFailure(ui, strings, error);
    return false;
  }

  fd_ = fd;
  format_ = DecodeLibrary(image, library);
  // A copy killed while saving left its temporary file; nobody else can be
  // saving this library now that we hold it.
  RemoveStaleTemporaries(openedPath_);
  return true;
}

bool LibraryFile::Write(const DefinitionLibrary& library, UserInteraction& ui,
                        const StringSource& strings) {
  Message failure = StringMessage(strings, sid::kLibraryWriteFailed);
  failure.text = FillPlaceholders(failure.text, path_);
  failure.subject = path_;
  if (!isOpen()) {
    ui.Show(failure);
    return false;
  }

  const std::vector<uint8_t> image = EncodeLibrary(library);
  // The new file comes back still locked by the replacement, and the old
  // one is released only afterwards, so no other copy can open the library
  // in between.
  int newFd = -1;
  ReplaceOptions options;
  options.keepOpenFd = &newFd;
  const bool creating = folderLockFd_ >= 0;
  options.mustBeNew = creating;
  const ReplaceResult result = ReplaceFileContents(openedPath_, image, options, ops_);
  if (!result.ok) {
    if (creating && result.error == EEXIST)
      failure.detail = "another program created the file after Tonalis found it missing; it is "
                       "left as it is";
    else
      failure.detail = result.reason.empty() ? SystemReason(result.error) : result.reason;
    ui.Show(failure);
    return false;
  }
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = newFd;
  ReleaseFolder();
  format_ = LibraryFormat::Current;
  return true;
}

}  // namespace tonalis
