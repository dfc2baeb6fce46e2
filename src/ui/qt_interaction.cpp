#include "ui/qt_interaction.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/strings.h"

namespace tonalis::ui {

void QtInteraction::Configure(QMessageBox& box, const Message& message) {
  box.setWindowTitle(QApplication::applicationName());
  // Names and paths may hold anything, '<' included: never rich text.
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQString(message.text));
  if (!message.detail.empty()) box.setInformativeText(ToQString(message.detail));
  switch (message.kind) {
    case MessageKind::Information:
      box.setIcon(QMessageBox::Information);
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageKind::Stop:
      box.setIcon(QMessageBox::Critical);
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageKind::YesNo:
      box.setIcon(QMessageBox::NoIcon);
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case MessageKind::Warning:
      box.setIcon(QMessageBox::Warning);
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageKind::Proceed:
      box.setIcon(QMessageBox::Warning);
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
  }
}

QWidget* QtInteraction::Owner() const {
  if (owner_ != nullptr && owner_->isVisible()) return owner_;
  return QApplication::activeWindow();
}

void QtInteraction::Show(const Message& message) {
  QMessageBox box(Owner());
  Configure(box, message);
  box.exec();
}

bool QtInteraction::Ask(const Message& message) {
  QMessageBox box(Owner());
  Configure(box, message);
  const int answer = box.exec();
  return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

}  // namespace tonalis::ui
