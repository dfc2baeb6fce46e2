#include "ui/dialog_template.h"

#include <QFile>
#include <QFontMetrics>
#include <QUiLoader>

// The resource initialiser must be called from the global namespace.
static void InitTonalisResources() {
  Q_INIT_RESOURCE(tonalis);
}

namespace tonalis::ui {

namespace {

const char kDialogUnitsProperty[] = "dialogUnits";
const char kProgramFolder[] = ":/dialogs";

// Set once by the application shell before any window is made; read on the
// one user-interface thread.
QStringList& ExtraFolders() {
  static QStringList folders;
  return folders;
}

QString PathIn(const QString& folder, int dialogId) {
  return QStringLiteral("%1/dialog%2.ui").arg(folder).arg(dialogId);
}

void EnsureResources() {
  static const bool done = [] {
    InitTonalisResources();
    return true;
  }();
  (void)done;
}

}  // namespace

void DialogTemplate::SetTemplateFolders(const QStringList& folders) {
  ExtraFolders() = folders;
  ExtraFolders().removeAll(QString::fromLatin1(kProgramFolder));
}

QStringList DialogTemplate::TemplateFolders() {
  return ExtraFolders() + QStringList{QString::fromLatin1(kProgramFolder)};
}

QString DialogTemplate::ResourcePath(int dialogId) {
  EnsureResources();
  for (const QString& folder : ExtraFolders()) {
    const QString path = PathIn(folder, dialogId);
    if (QFile::exists(path))
      return path;
  }
  return PathIn(QString::fromLatin1(kProgramFolder), dialogId);
}

QSize DialogTemplate::DialogUnitsToPixels(const QSize& units, const QFont& font) {
  // The base units: the mean width of the 52 Latin letters and the line
  // height, as dialog units have always been measured.
  const QFontMetrics fm(font);
  const int letters =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  const int baseX = (letters / 26 + 1) / 2;
  const int baseY = fm.height();
  return {(units.width() * baseX + 2) / 4, (units.height() * baseY + 4) / 8};
}

DialogTemplate::DialogTemplate(int dialogId, QWidget* parent)
    : name_(QStringLiteral("dialog%1").arg(dialogId)) {
  const QString path = ResourcePath(dialogId);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw TemplateError("dialog template " + path.toStdString() +
                        " is missing from the program's resources");
  }
  Load(file, parent);
}

DialogTemplate::DialogTemplate(QIODevice& device, const QString& name, QWidget* parent)
    : name_(name) {
  Load(device, parent);
}

void DialogTemplate::Load(QIODevice& device, QWidget* parent) {
  QUiLoader loader;
  root_ = loader.load(&device, parent);
  if (root_ == nullptr) {
    throw TemplateError("dialog template " + name_.toStdString() +
                        " cannot be loaded: " + loader.errorString().toStdString());
  }
  ApplyDialogUnits();
}

void DialogTemplate::ApplyDialogUnits() {
  const auto widgets = root_->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    const QVariant units = w->property(kDialogUnitsProperty);
    if (!units.isValid())
      continue;
    const QSize px = DialogUnitsToPixels(units.toSize(), w->font());
    w->setMinimumSize(w->minimumSize().expandedTo(px));
  }
}

QWidget* DialogTemplate::FindControl(int id) const {
  const QString name = QStringLiteral("c%1").arg(id);
  if (root_->objectName() == name)
    return root_;
  return root_->findChild<QWidget*>(name);
}

std::string DialogTemplate::Describe(int id, const char* wanted, const QWidget* found) const {
  std::string text = "dialog template " + name_.toStdString() + ": control " + std::to_string(id) +
                     " (" + wanted + ")";
  if (found == nullptr)
    return text + " is missing";
  return text + " is a " + found->metaObject()->className();
}

}  // namespace tonalis::ui
