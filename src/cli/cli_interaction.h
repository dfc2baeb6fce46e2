// The terminal's UserInteraction: messages go to stderr; questions are
// answered yes by the --yes flag, and without it the command stops.
#pragma once

#include <ostream>
#include <string>

#include "model/string_table.h"
#include "platform/interaction.h"

namespace tonalis::cli {

// Thrown by CliInteraction::Ask when a question comes up without --yes. The
// dispatcher catches it and ends the command with exit status 1, so nothing
// after the question happens. Core code that asks questions holds its
// resources in RAII objects and stays consistent when this passes through.
struct QuestionNotAnswered {};

class CliInteraction final : public UserInteraction {
 public:
  CliInteraction(std::ostream& err, std::string program, bool assumeYes)
      : err_(err), program_(std::move(program)), assumeYes_(assumeYes) {}

  // "program: [subject: ]text", the system's reason on a following line.
  void Show(const Message& message) override;
  // Shows the question; with --yes notes the answer and returns true,
  // otherwise says how to answer it and throws QuestionNotAnswered.
  bool Ask(const Message& message) override;

  // Whether anything was shown (the command's failure is then explained).
  bool shownAny() const { return shown_; }

 private:
  void Print(const Message& message);

  std::ostream& err_;
  std::string program_;
  bool assumeYes_;
  bool shown_ = false;
};

}  // namespace tonalis::cli
