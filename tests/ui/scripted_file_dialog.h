// A FileDialog that answers from a script and records what it was given.
#pragma once

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
    answers_.push_back({true, path});
    return *this;
  }
  ScriptedFileDialog& Cancel() {
    answers_.push_back({false, QString()});
    return *this;
  }

  std::optional<QString> OpenFile(QWidget* owner, const QString& directory,
                                  const QString& filters) override;

  const std::vector<Call>& calls() const { return calls_; }
  std::size_t PendingAnswers() const { return answers_.size(); }

 private:
  struct Answer {
    bool confirmed;
    QString path;
  };
  std::deque<Answer> answers_;
  std::vector<Call> calls_;
};

}  // namespace tonalis::test
