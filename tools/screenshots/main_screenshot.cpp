// Writes the picture of the main window for the documentation:
//   main_screenshot SAMPLES DIR
// gives DIR/main-window.png: the window started on a demo PPD that carries
// three definitions of the sample library SAMPLES/QR_grad.dat, with one
// library entry selected. Runs on Qt's offscreen platform unless another one
// is asked for, in a scratch folder.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "formats/library_file.h"
#include "formats/ppd_tone.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"
#include "ui/file_dialog.h"
#include "ui/main/main_dialog.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A demo colour printer's PPD with `names` of `library` in its section.
std::string DemoPpd(const tonalis::DefinitionLibrary& library,
                    std::initializer_list<const char*> names) {
  tonalis::PrinterDefinitionList list;
  tonalis::EmptyTable(list);
  for (const char* name : names) {
    if (auto slot = tonalis::FindDefinition(library, name)) {
      tonalis::InsertDefinition(list, library.slots[*slot], tonalis::InsertMode::AddMode());
    }
  }
  return "*PPD-Adobe: \"4.3\"\r\n*Manufacturer: \"Tonalis\"\r\n"
         "*NickName: \"Tonalis Demo Colour PS v1.0\"\r\n*QRHTUtility: True\r\n"
         "*ColorDevice: True\r\n" +
         tonalis::BuildSection(list) +
         "*% Font Information\r\n*DefaultFont: Courier\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tonalis"));
  if (argc < 3) {
    std::fprintf(stderr, "usage: main_screenshot SAMPLES DIR\n");
    return 2;
  }
  const std::string image = ReadAll(std::string(argv[1]) + "/QR_grad.dat");
  const QString out = QDir(QString::fromLocal8Bit(argv[2])).absoluteFilePath("main-window.png");

  QTemporaryDir scratch;
  QDir::setCurrent(scratch.path());
  std::ofstream("QR_grad.dat", std::ios::binary) << image;
  auto library = std::make_unique<tonalis::DefinitionLibrary>();
  tonalis::DecodeLibrary({reinterpret_cast<const uint8_t*>(image.data()), image.size()}, *library);
  std::ofstream("demo.ppd", std::ios::binary) << DemoPpd(*library, {"Standard", "Darker", "Warm"});

  tonalis::test::ScriptedInteraction interaction;
  tonalis::test::FakeSpooler spooler;
  tonalis::ui::QtFileDialog fileDialog;
  const tonalis::ui::MainDialogSeams seams{interaction, fileDialog,
                                           spooler,     tonalis::DefaultStrings(),
                                           "QR_grad.dat", std::string("demo.ppd")};
  tonalis::ui::MainDialog window(seams);
  if (!window.Initialize() || !interaction.Empty()) {
    std::fprintf(stderr, "the window did not start cleanly\n");
    return 1;
  }
  window.controls().Control<QListWidget>(tonalis::ui::main_ids::kLibraryList)->setCurrentRow(1);
  window.show();
  QApplication::processEvents();
  if (!window.grab().toImage().save(out)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
    return 1;
  }
  std::printf("%s\n", qPrintable(out));
  return 0;
}
