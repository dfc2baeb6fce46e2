// The GUI's side of the user-interaction seam: every message and question of
// the core and of the windows appears as a modal message box whose caption is
// the application's name.
#pragma once

#include <QPointer>
#include <QWidget>

#include "model/string_table.h"
#include "platform/interaction.h"

class QMessageBox;

namespace tonalis::ui {

class QtInteraction final : public UserInteraction {
 public:
  // Boxes are owned by `owner`, or by the active window when it is null or
  // gone.
  explicit QtInteraction(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Show(const Message& message) override;
  bool Ask(const Message& message) override;

  // Builds the box for `message` without running it: information and stop
  // messages have one OK button, warnings the warning icon and one OK button,
  // Yes/No questions no icon, proceed questions the warning icon with OK and
  // Cancel. The detail, when there is one, is
  // the box's informative text.
  static void Configure(QMessageBox& box, const Message& message);

 private:
  QWidget* Owner() const;
  QPointer<QWidget> owner_;
};

}  // namespace tonalis::ui
