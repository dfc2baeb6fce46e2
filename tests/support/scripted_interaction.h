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
  void Show(const Message& message) override { shown_.push_back(message); }
  bool Ask(const Message& message) override;
  // Queues the answer to the next question.
  ScriptedInteraction& Answer(bool yes) { return answers_.push_back(yes), *this; }

  const std::vector<Message>& shown() const { return shown_; }
  // String ids (0: system-call reports) and texts of everything shown or asked, in order.
  std::vector<int> Ids() const { return Each<int>([](const Message& m) { return m.stringId; }); }
  std::vector<std::string> Texts() const {
    return Each<std::string>([](const Message& m) { return m.text; });
  }
  bool Empty() const { return shown_.empty(); }
  void Clear() { shown_.clear(); }
  std::size_t PendingAnswers() const { return answers_.size(); }

 private:
  template <class T, class F>
  std::vector<T> Each(F field) const {
    std::vector<T> out;
    for (const Message& m : shown_) out.push_back(field(m));
    return out;
  }
  std::vector<Message> shown_;
  std::deque<bool> answers_;
};

}  // namespace tonalis::test
