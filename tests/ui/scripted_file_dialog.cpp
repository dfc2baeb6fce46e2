#include "ui/scripted_file_dialog.h"

#include <gtest/gtest.h>

namespace tonalis::test {

std::optional<QString> ScriptedFileDialog::OpenFile(QWidget*, const QString& directory,
                                                    const QString& filters) {
  calls_.push_back({directory, filters});
  if (answers_.empty()) {
    ADD_FAILURE() << "unscripted file dialog";
    return std::nullopt;
  }
  const Answer answer = answers_.front();
  answers_.pop_front();
  if (!answer.confirmed)
    return std::nullopt;
  return answer.path;
}

}  // namespace tonalis::test
