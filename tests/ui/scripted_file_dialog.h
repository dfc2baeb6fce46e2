// A FileDialog that answers from a script and records what it was given.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "ui/file_dialog.h"

namespace tonalis::test {

class ScriptedFileDialog : public ui::FileDialog {
 public:
  struct Call {
    QString directory;
    QString filters;
  };

  // Queues the answer of the next dialog: a path, or nothing for Cancel.
  ScriptedFileDialog& Choose(const QString& path) {
    answers_.push_back(path);
    return *this;
  }
  ScriptedFileDialog& Cancel() {
    answers_.push_back(std::nullopt);
    return *this;
  }

  std::optional<QString> OpenFile(QWidget*, const QString& directory,
                                  const QString& filters) override {
    calls_.push_back({directory, filters});
    if (answers_.empty()) {
      ADD_FAILURE() << "unscripted file dialog";
      return std::nullopt;
    }
    const std::optional<QString> answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  const std::vector<Call>& calls() const { return calls_; }

 private:
  std::deque<std::optional<QString>> answers_;
  std::vector<Call> calls_;
};

}  // namespace tonalis::test
