// Dialog templates: Qt Designer forms embedded in the program's resources,
// loaded at run time so that a language module can bring its own.
//
// A template is named after its dialog number ("dialog102.ui") and each
// control's object name is "c" followed by its control id. Templates are
// looked for in a list of resource folders, first to last: a language
// module's folder, when one is loaded, before the program's own
// ":/dialogs". A control's
// least size may be given in dialog units (dynamic property "dialogUnits", a
// QSize): a quarter of the font's mean character width across, an eighth of
// its height down, so the layout follows the font and the screen scale.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <stdexcept>

class QIODevice;

namespace tonalis::ui {

// A template that cannot be read or lacks a control the code needs. This is
// a fault of the program's resources, not of the user's data.
class TemplateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DialogTemplate {
 public:
  // Loads dialog `dialogId` from the resources into a new widget owned by
  // `parent`. Throws TemplateError when it cannot be loaded.
  DialogTemplate(int dialogId, QWidget* parent);
  // Loads a template from `device` (tests, language modules).
  DialogTemplate(QIODevice& device, const QString& name, QWidget* parent);

  // The loaded form (its top-level widget).
  QWidget* root() const { return root_; }

  // The control with id `id`, of type T. Throws TemplateError when the
  // template has no such control or it is of another type.
  template <class T>
  T* Control(int id) const {
    QWidget* w = FindControl(id);
    auto* typed = qobject_cast<T*>(w);
    if (typed == nullptr) {
      throw TemplateError(Describe(id, T::staticMetaObject.className(), w));
    }
    return typed;
  }

  // The resource path dialog `dialogId` is loaded from: the first folder of
  // the template search that holds it, or the program's own path when none
  // does.
  static QString ResourcePath(int dialogId);

  // The folders searched for templates, first to last. The program's own
  // ":/dialogs" is always searched last, whether listed or not.
  static void SetTemplateFolders(const QStringList& folders);
  static QStringList TemplateFolders();

  // Pixels for a size in dialog units under `font`.
  static QSize DialogUnitsToPixels(const QSize& units, const QFont& font);

 private:
  void Load(QIODevice& device, QWidget* parent);
  QWidget* FindControl(int id) const;
  std::string Describe(int id, const char* wanted, const QWidget* found) const;
  void ApplyDialogUnits();

  QString name_;
  QWidget* root_ = nullptr;
};

}  // namespace tonalis::ui
