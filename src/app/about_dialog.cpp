#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/strings.h"

namespace tonalis::app {

namespace {
constexpr int kAboutTitle = sid::kAbout;
constexpr int kProductText = 57;
constexpr int kMakerText = 58;
constexpr int kLicenceText = 59;
}  // namespace

AboutDialog::AboutDialog(const StringSource& strings, const QIcon& icon, QWidget* parent)
    : QDialog(parent), template_(about_ids::kDialog, this) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(template_.root());
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setWindowTitle(ui::LoadString(strings, kAboutTitle));
  template_.Control<QLabel>(about_ids::kProductLine)
      ->setText(ui::LoadString(strings, kProductText));
  template_.Control<QLabel>(about_ids::kMakerLine)->setText(ui::LoadString(strings, kMakerText));
  template_.Control<QLabel>(about_ids::kLicenceLine)
      ->setText(ui::LoadString(strings, kLicenceText));
  for (int id : {about_ids::kProductLine, about_ids::kMakerLine, about_ids::kLicenceLine})
    template_.Control<QLabel>(id)->setTextFormat(Qt::PlainText);

  // The icon at the system's icon size; a template may leave it out.
  if (auto* picture = template_.root()->findChild<QLabel*>(QStringLiteral("icon128"))) {
    const int size = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    picture->setPixmap(icon.pixmap(size, size));
  }

  auto* ok = template_.Control<QPushButton>(about_ids::kOk);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tonalis::app
