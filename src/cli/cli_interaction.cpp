#include "cli/cli_interaction.h"

namespace tonalis::cli {

void CliInteraction::Print(const Message& message) {
  if (message.stringId != 0 && once_.count(message.stringId) &&
      !shownOnce_.insert(message.stringId).second)
    return;
  err_ << program_ << ": ";
  // The subject is named unless the text already names it.
  const std::string& subject = subject_.empty() ? message.subject : subject_;
  last_ = message;
  last_->subject = subject;
  if (!subject.empty() && message.text.find(subject) == std::string::npos)
    err_ << subject << ": ";
  err_ << message.text << '\n';
  if (!message.detail.empty())
    err_ << program_ << ": reason: " << message.detail << '\n';
}

void CliInteraction::Show(const Message& message) {
  Print(message);
  err_.flush();
}

void CliInteraction::Fail(std::string_view text) {
  err_ << program_ << ": " << text << '\n';
  err_.flush();
  Message m = SystemFailure(std::string(text), {});
  last_ = std::move(m);
}

bool CliInteraction::Ask(const Message& message) {
  switch (message.question) {
    case Question::ReplaceDefinition:
      return replace_;
    case Question::DeleteDefinition:
      return true;
    default:
      break;
  }
  Print(message);
  if (assumeYes_) {
    err_ << program_ << ": answered yes (--yes)\n";
    err_.flush();
    return true;
  }
  err_ << program_
       << ": this question needs an answer; run the command again with --yes to "
          "answer yes\n";
  err_.flush();
  throw QuestionNotAnswered{};
}

}  // namespace tonalis::cli
