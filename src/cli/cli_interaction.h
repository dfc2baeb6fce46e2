// The terminal's UserInteraction: messages go to stderr; questions are
// answered by their kind from the command line's flags.
#pragma once

#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>

#include "model/string_table.h"
#include "platform/interaction.h"

namespace tonalis::cli {

// Thrown by CliInteraction::Ask when a question that needs --yes comes up
// without it. The dispatcher catches it and ends the command with exit
// status 1, so nothing after the question happens. Core code that asks
// questions holds its resources in RAII objects and stays consistent when
// this passes through.
struct QuestionNotAnswered {};

class CliInteraction final : public UserInteraction {
 public:
  CliInteraction(std::ostream& err, std::string program, bool assumeYes)
      : err_(err), program_(std::move(program)), assumeYes_(assumeYes) {}

  void SetAssumeYes(bool yes) { assumeYes_ = yes; }
  // The answer to whether a definition of the same name is overwritten
  // (--replace).
  void SetReplace(bool replace) { replace_ = replace; }
  // While not empty, messages are about `subject` instead of the subject
  // they carry (the command knows better what the user named).
  void SetSubject(std::string subject) { subject_ = std::move(subject); }

  // "program: [subject: ]text", the system's reason on a following line.
  void Show(const Message& message) override;
  // "program: text", for a failure the command words itself.
  void Fail(std::string_view text);
  // Replacing a definition is answered by --replace and deleting one is
  // answered yes, both silently (the command line asked for them). Any
  // other question is shown; with --yes the answer is noted and is yes,
  // otherwise the message says how to answer it and QuestionNotAnswered is
  // thrown.
  bool Ask(const Message& message) override;

  // The last message shown or asked since ForgetShown, the command's own
  // failures included: what a run over several queues reports of a queue
  // that failed.
  const std::optional<Message>& lastShown() const { return last_; }
  void ForgetShown() { last_.reset(); }
  // Messages of string `id` are shown the first time only: a run over
  // several queues gives its advice once, not once per queue.
  void ShowOnce(int id) { once_.insert(id); }

 private:
  void Print(const Message& message);

  std::ostream& err_;
  std::string program_;
  bool assumeYes_;
  bool replace_ = false;
  std::string subject_;
  std::optional<Message> last_;
  std::set<int> once_, shownOnce_;
};

}  // namespace tonalis::cli
