// Pictures of the windows as a language module shows them, to check that
// its texts fit:
//   app_screenshots SAMPLES MODULE|- DIR
// writes DIR/main.png, DIR/editor.png and DIR/about.png: the main window on
// a demo PPD with the sample library SAMPLES/QR_grad.dat, the curve editor
// on the library's first definition, and the About box ("-": without a
// module). Runs on Qt's offscreen platform unless another one is asked for.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "app/about_dialog.h"
#include "app/app_shell.h"
#include "formats/library_file.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/file_dialog.h"
#include "ui/main/main_dialog.h"

namespace {

bool Save(QWidget& widget, const QString& path) {
  widget.show();
  QApplication::processEvents();
  const bool saved = widget.grab().toImage().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tonalis"));
  if (argc < 4) {
    std::fprintf(stderr, "usage: app_screenshots SAMPLES MODULE|- DIR\n");
    return 2;
  }
  const QDir samples(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
  const QString module = QString::fromLocal8Bit(argv[2]) == "-"
                             ? QString()
                             : QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
  const QDir out(QDir(QString::fromLocal8Bit(argv[3])).absolutePath());

  QTemporaryDir scratch;
  QDir::setCurrent(scratch.path());
  QFile::copy(samples.filePath("QR_grad.dat"), "QR_grad.dat");
  QFile::copy(samples.filePath("demo.ppd"), "demo.ppd");
  QDir().mkpath("module");
  if (!module.isEmpty())
    QFile::copy(module, "module/ZADA_VUV.rcc");

  tonalis::app::ApplicationShell shell(QString(), {QDir("module").absolutePath()});
  shell.Start();
  QApplication::setWindowIcon(shell.icon());

  tonalis::test::ScriptedInteraction interaction;
  tonalis::test::FakeSpooler spooler;
  tonalis::ui::QtFileDialog fileDialog;
  const tonalis::ui::MainDialogSeams seams{interaction,     fileDialog,    spooler,
                                           shell.strings(), "QR_grad.dat", std::string("demo.ppd")};
  tonalis::ui::MainDialog window(seams);
  if (!window.Initialize()) {
    std::fprintf(stderr, "the window did not start\n");
    return 1;
  }
  bool ok = Save(window, out.filePath("main.png"));

  tonalis::ui::CurveEditorDialog editor(
      tonalis::ui::CurveEditorSeams{&interaction, shell.strings(), {}}, &window);
  tonalis::DensityDef def = window.workspace().library().slots[0];
  def.allChannels = 0;
  editor.Open(def);
  ok = Save(editor, out.filePath("editor.png")) && ok;
  editor.hide();

  tonalis::app::AboutDialog about(shell.strings(), shell.icon(), &window);
  ok = Save(about, out.filePath("about.png")) && ok;
  shell.ShutDown();
  return ok ? 0 : 1;
}
