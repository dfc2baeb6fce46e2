// The one door through which the core talks to the user.
//
// The core never prints or shows anything. It hands messages and questions to
// a UserInteraction that the front end provides: the GUI shows message boxes,
// the command line writes to stderr and answers from its flags, tests script
// the answers and record what was shown.
#pragma once

#include <string>
#include <string_view>


namespace tonalis {

enum class MessageKind {
  Information,  // a user-level problem or a result: information icon, one button
  Stop,         // a failed call of the system or the print server: stop icon
  YesNo,        // a question with Yes and No, no icon
  Proceed,      // a warning with an accept button and Cancel: exclamation icon
  Warning,      // a refused entry in a dialog: exclamation icon, one button
};

// Which question a YesNo or Proceed message asks. Front ends answer by this,
// not by the text: the window with a message box, the command line from its
// flags, tests from a script.
enum class Question {
  None,
  MakeWritable,       // a read-only library or PPD: make it writable?
  DeleteDefinition,   // delete the selected definition?
  ReplaceDefinition,  // the other side holds that name: replace it?
  SaveBeforeSwitch,   // write the target's changes before another is read?
  SaveBeforeExit,     // write every change before the program ends?
  OverwriteChanges,   // another program changed the PPD since it was read: overwrite?
  RestoreControls,    // a queue lost or changed what Tonalis wrote to it: put it back?
};

struct Message {
  MessageKind kind = MessageKind::Information;
  int stringId = 0;    // the string the text came from; 0 for SystemFailure
  std::string text;    // the text as the system words it
  std::string detail;  // the system's reason for a failure, when there is one
  std::string subject; // what the message is about (a file, a definition), if any
  Question question = Question::None;  // for questions: which one

  // The text followed by the reason on its own paragraph, for front ends that
  // show one block of text.
  std::string FullText() const;
};

class UserInteraction {
 public:
  virtual ~UserInteraction() = default;
  // Information, Stop and Warning messages.
  virtual void Show(const Message& message) = 0;
  // YesNo and Proceed questions; true for Yes or for the accept button.
  virtual bool Ask(const Message& message) = 0;
};

// A failed call of the system or of the print server, with a stop icon:
// `what` says what could not be done, in the user's words, and `reason` is
// the system's or the scheduler's own wording of why (strerror,
// cupsLastErrorString). StringMessage in model/string_table.h builds the
// messages of the string table.
Message SystemFailure(std::string what, std::string reason);

// The system's wording of an errno value.
std::string SystemReason(int error);

}  // namespace tonalis
