#include "app/app_shell.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstring>

#include "app/about_dialog.h"
#include "app/help.h"
#include "ui/dialog_template.h"
#include "ui/main/main_dialog.h"

namespace tonalis::app {

namespace {

// The texts the program's own Qt classes mark for translation (tr()) are
// strings of the table too: each is looked up by its English text and
// answered from the module's table.
class ProgramTexts final : public QTranslator {
 public:
  explicit ProgramTexts(const StringSource& strings) : strings_(strings) {}
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (context == nullptr || sourceText == nullptr || std::strncmp(context, "tonalis::", 9) != 0)
      return {};
    for (int id = kFirstStringId; id <= kLastStringId; ++id) {
      if (DefaultStrings().Load(id) == sourceText)
        return QString::fromStdString(strings_.Load(id));
    }
    return {};
  }

 private:
  const StringSource& strings_;
};

}  // namespace

ApplicationShell::ApplicationShell(QString programFile, QStringList moduleFolders)
    : programFile_(std::move(programFile)), moduleFolders_(std::move(moduleFolders)) {}

ApplicationShell::~ApplicationShell() {
  ShutDown();
}

void ApplicationShell::Start() {
  if (started_)
    return;
  started_ = true;

  // A module that is not found is no error; one that is found but cannot be
  // read is said on stderr, and the program's own resources serve.
  const QString found = FindLanguageModule(moduleFolders_);
  if (!found.isEmpty()) {
    module_ = LanguageModule::Load(found);
    if (!module_) {
      std::fprintf(stderr, "%s: %s is not a language module and is not used\n",
                   qPrintable(QApplication::applicationName()), qPrintable(found));
    } else {
      for (const StringTableProblem& problem : module_->problems()) {
        std::fprintf(stderr, "%s: %s, strings.po line %d: %s\n",
                     qPrintable(QApplication::applicationName()), qPrintable(found), problem.line,
                     problem.text.c_str());
      }
      ui::DialogTemplate::SetTemplateFolders({module_->templateFolder()});
    }
  }
  // The module's language: its numbers, and Qt's own texts.
  const QString language = module_ ? module_->language() : QString();
  savedLocale_ = QLocale();
  QLocale::setDefault(language.isEmpty() ? QLocale::c() : QLocale(language));
  if (module_ && QCoreApplication::instance() != nullptr) {
    programTexts_ = std::make_unique<ProgramTexts>(module_->strings());
    QCoreApplication::installTranslator(programTexts_.get());
    auto qt = std::make_unique<QTranslator>();
    if (!language.isEmpty() &&
        qt->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(qt.get());
      qtTexts_ = std::move(qt);
    }
  }

  icon_ = module_ ? module_->icon() : QIcon();
  if (icon_.isNull())
    icon_ = ProgramIcon();

  app::ShowHelp(nullptr, nullptr, kHelpInitialize, 0);
}

const StringSource& ApplicationShell::strings() const {
  return module_ ? module_->strings() : DefaultStrings();
}

QIcon ApplicationShell::icon() const {
  return icon_.isNull() ? ProgramIcon() : icon_;
}

void ApplicationShell::ShowHelp(int context) const {
  ShowHelpForContext(module_ ? module_->filePath() : QString(), programFile_, context);
}

void ApplicationShell::RunAbout(QWidget* parent) const {
  AboutDialog about(strings(), icon(), parent);
  about.exec();
}

void ApplicationShell::Attach(ui::MainDialog& window) const {
  QObject::connect(&window, &ui::MainDialog::aboutRequested, &window,
                   [this, &window] { RunAbout(&window); });
}

void ApplicationShell::ShutDown() {
  if (!started_)
    return;
  started_ = false;
  // The module's texts stay readable for the main window until it goes;
  // only its resources are released.
  if (module_) {
    ui::DialogTemplate::SetTemplateFolders({});
    module_->Release();
  }
  for (auto* translator : {&qtTexts_, &programTexts_}) {
    if (*translator)
      QCoreApplication::removeTranslator(translator->get());
    translator->reset();
  }
  if (savedLocale_)
    QLocale::setDefault(*savedLocale_);
  savedLocale_.reset();
  app::ShowHelp(nullptr, nullptr, kHelpUninitialize, 0);
}

}  // namespace tonalis::app
