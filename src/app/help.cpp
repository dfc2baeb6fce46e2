#include "app/help.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include "app/app_paths.h"
#include "app/help_viewer.h"

namespace tonalis::app {

namespace {

// The viewer's state for the whole run.
struct HelpState {
  enum class Availability { Untried, Ready, Failed };
  Availability availability = Availability::Untried;
  QPointer<HelpViewer> window;
};

HelpState& State() {
  static HelpState state;
  return state;
}

// The viewer is a window of this process: it is there when widgets can be
// made. Decided once; a failure is final.
bool ViewerAvailable() {
  HelpState& state = State();
  if (state.availability == HelpState::Availability::Untried) {
    state.availability = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr
                             ? HelpState::Availability::Ready
                             : HelpState::Availability::Failed;
  }
  return state.availability == HelpState::Availability::Ready;
}

// The viewer window, made when needed. It belongs to the window that asked
// for help (the owner, or the modal window in front): a modal window takes
// input only for itself and what belongs to it, and the viewer must be
// usable while the main window or the curve editor runs.
HelpViewer* ViewerFor(QWidget* owner) {
  HelpState& state = State();
  if (state.window.isNull())
    state.window = new HelpViewer(nullptr);
  state.window->BelongTo(owner != nullptr ? owner->window() : QApplication::activeModalWidget());
  return state.window;
}

HelpResult Show(QWidget* owner, const char* path, unsigned command, std::uintptr_t data) {
  if (path == nullptr || *path == '\0')
    return 0;
  // Read and check before any window appears, so that a missing file or an
  // unknown context shows nothing.
  auto file = ChmFile::Open(path);
  if (!file)
    return 0;
  std::optional<std::string> topic;
  if (command == kHelpContext) {
    if (data > UINT32_MAX)
      return 0;
    topic = file->TopicOfContext(static_cast<std::uint32_t>(data));
  } else {
    topic = file->StartTopic();
  }
  if (!topic)
    return 0;

  HelpViewer* viewer = ViewerFor(owner);
  viewer->SetFile(std::move(file), QFileInfo(QFile::decodeName(path)).absoluteFilePath());
  viewer->ShowTopic(*topic);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return reinterpret_cast<HelpResult>(static_cast<QWidget*>(viewer));
}

}  // namespace

HelpResult ShowHelp(QWidget* owner, const char* path, unsigned command, std::uintptr_t data) {
  if (!ViewerAvailable())
    return 0;
  switch (command) {
    case kHelpInitialize:
      if (data != 0)
        *reinterpret_cast<std::uint32_t*>(data) = 1;
      return 1;
    case kHelpUninitialize:
      delete State().window.data();
      return 1;
    case kHelpContext:
    case kHelpDisplayToc:
      return Show(owner, path, command, data);
    default:
      return 0;
  }
}

HelpViewer* OpenHelpViewer() {
  return State().window.data();
}

QString HelpFilePath(const QString& moduleFile, const QString& programFile) {
  const QString name = QString::fromLatin1(kHelpFileName);
  if (!moduleFile.isEmpty()) {
    const QString withModule = QFileInfo(moduleFile).absoluteDir().filePath(name);
    if (QFileInfo::exists(withModule) || programFile.isEmpty())
      return withModule;
  }
  if (programFile.isEmpty())
    return {};
  const QString beside = QFileInfo(programFile).absoluteDir().filePath(name);
  const QString installed = QDir(InstalledDataFolder(programFile)).filePath(name);
  if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
    return installed;
  return beside;
}

HelpResult ShowHelpForContext(const QString& moduleFile, const QString& programFile, int context) {
  const QString path = HelpFilePath(moduleFile, programFile);
  const QByteArray encoded = path.isEmpty() ? QByteArray(kHelpFileName) : QFile::encodeName(path);
  return ShowHelp(nullptr, encoded.constData(), kHelpContext, static_cast<std::uintptr_t>(context));
}

}  // namespace tonalis::app
