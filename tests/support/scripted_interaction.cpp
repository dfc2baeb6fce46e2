#include "support/scripted_interaction.h"

#include <gtest/gtest.h>

namespace tonalis::test {

bool ScriptedInteraction::Ask(const Message& message) {
  shown_.push_back(message);
  if (answers_.empty()) {
    ADD_FAILURE() << "unscripted question: " << message.text;
    return false;
  }
  const bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

}  // namespace tonalis::test
