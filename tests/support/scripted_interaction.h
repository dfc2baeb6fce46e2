// A UserInteraction that records every message and answers questions from a
// script. A question with no scripted answer fails the test.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/interaction.h"

namespace tonalis::test {

class ScriptedInteraction : public UserInteraction {
 public:
  void Show(const Message& message) override;
  bool Ask(const Message& message) override;

  // Queues the answer to the next question.
  ScriptedInteraction& Answer(bool yes) {
    answers_.push_back(yes);
    return *this;
  }

  const std::vector<Message>& shown() const { return shown_; }
  // String ids (0 for system-call reports) of everything shown or asked, in order.
  std::vector<int> Ids() const;
  // Texts of everything shown or asked, in order.
  std::vector<std::string> Texts() const;
  bool Empty() const { return shown_.empty(); }
  void Clear() { shown_.clear(); }
  std::size_t PendingAnswers() const { return answers_.size(); }

 private:
  std::vector<Message> shown_;
  std::deque<bool> answers_;
};

}  // namespace tonalis::test
