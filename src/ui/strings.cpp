#include "ui/strings.h"

namespace tonalis::ui {

QString LoadString(const StringSource& source, int id) {
  return ToQString(source.Load(id));
}

}  // namespace tonalis::ui
