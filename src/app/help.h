// The program's help: ShowHelp, the one door to the help viewer, and the
// help file the Help buttons open.
#pragma once

#include <QString>
#include <cstdint>

class QWidget;

namespace tonalis::app {

class HelpViewer;

// Commands of ShowHelp.
inline constexpr unsigned kHelpDisplayToc = 1;     // data unused
inline constexpr unsigned kHelpContext = 15;       // data: the context number
inline constexpr unsigned kHelpInitialize = 28;    // data: address of a std::uint32_t cookie, or 0
inline constexpr unsigned kHelpUninitialize = 29;  // data unused

inline constexpr char kHelpFileName[] = "QR_GRAD.chm";

// The result of ShowHelp: for the two show commands, the viewer window
// (its address) or 0 when nothing was shown; for the other commands
// non-zero when done; 0 whenever the viewer is unavailable.
using HelpResult = std::intptr_t;

// Runs `command` on the help viewer.
// - kHelpInitialize stores a cookie through `data`; kHelpUninitialize closes
//   the viewer. Both are to be called once, at start-up and at the end.
// - kHelpContext shows the topic that the help file at `path` maps to the
//   context number `data`; kHelpDisplayToc shows the file's start topic.
//   The window comes up in front of the window that asked (`owner`, or the
//   modal window in front when none is given) and belongs to it.
// A file that cannot be read, or a context it does not map, shows nothing
// and gives 0. The viewer needs a QApplication; without one every call gives
// 0, and that stays so for the rest of the run. Nothing is ever reported to
// the user.
HelpResult ShowHelp(QWidget* owner, const char* path, unsigned command, std::uintptr_t data);

// The viewer window, when one is open (tests).
HelpViewer* OpenHelpViewer();

// The help file for the Help buttons: QR_GRAD.chm in the folder of
// `moduleFile` (the language module's file) when one is loaded and its
// folder has one, else the program's own in the folder of `programFile`
// (the executable). An installed program keeps its
// data apart from its executable: when the executable's folder has no help
// file, the one in the installed data folder is taken. Empty when the file
// name it would be built from is not known.
QString HelpFilePath(const QString& moduleFile, const QString& programFile);

// What a Help button does: shows `context` in the help file above; when its
// path is not known, in "QR_GRAD.chm" by its bare name.
HelpResult ShowHelpForContext(const QString& moduleFile, const QString& programFile, int context);

}  // namespace tonalis::app
