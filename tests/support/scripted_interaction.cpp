#include "support/scripted_interaction.h"

#include <gtest/gtest.h>

namespace tonalis::test {

void ScriptedInteraction::Show(const Message& message) { shown_.push_back(message); }

bool ScriptedInteraction::Ask(const Message& message) {
  shown_.push_back(message);
  if (answers_.empty()) {
    ADD_FAILURE() << "unscripted question: " << message.text;
    return false;
  }
  bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

std::vector<int> ScriptedInteraction::Ids() const {
  std::vector<int> ids;
  for (const auto& m : shown_) ids.push_back(m.stringId);
  return ids;
}

std::vector<std::string> ScriptedInteraction::Texts() const {
  std::vector<std::string> texts;
  for (const auto& m : shown_) texts.push_back(m.text);
  return texts;
}

}  // namespace tonalis::test
