// The About box (dialog 100): the program icon, the product name and
// version, the maker and the licence, and a button that closes it.
#pragma once

#include <QDialog>
#include <QIcon>

#include "model/string_table.h"
#include "ui/dialog_template.h"

namespace tonalis::app {

// Control ids of the About box's template.
namespace about_ids {
inline constexpr int kDialog = 100;
inline constexpr int kOk = 1;
inline constexpr int kProductLine = 1042;
inline constexpr int kMakerLine = 1043;
inline constexpr int kLicenceLine = 1044;
}  // namespace about_ids

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  // Loads the template and sets the title (string 56) and the three lines
  // (strings 57, 58, 59) from `strings`; throws ui::TemplateError when the
  // template is broken.
  AboutDialog(const StringSource& strings, const QIcon& icon, QWidget* parent);

  const ui::DialogTemplate& controls() const { return template_; }

 private:
  ui::DialogTemplate template_;
};

}  // namespace tonalis::app
