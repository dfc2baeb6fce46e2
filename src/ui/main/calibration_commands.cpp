// The window's calibration entries in its context menu: the test chart
// printed on the chosen printer, a density control calibrated from the
// chart's measurements or imported from another colour tool's curves, and a
// definition's curves exported for one.
//
// Calibrating and importing make a new definition without a name; the curve
// editor opens on it, as for New, so that the user sees the curves, names
// them and confirms.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QListWidget>
#include <unistd.h>

#include <cstdlib>

#include "formats/test_chart.h"
#include "printers/queue_target.h"
#include "ui/latin1.h"
#include "ui/main/list_box.h"
#include "ui/main/main_dialog.h"
#include "workspace/calibrate.h"
#include "workspace/curve_transfer.h"
#include "workspace/print_chart.h"

namespace tonalis::ui {

namespace {

std::string LocalPath(const QString& path) {
  return QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
}

}  // namespace

void MainDialog::AddCalibrationEntries() {
  const struct {
    int stringId;
    const char* objectName;
    void (MainDialog::*handler)();
  } entries[] = {
      {sid::kPrintChartEntry, "printChartAction", &MainDialog::OnPrintChart},
      {sid::kCalibrateEntry, "calibrateAction", &MainDialog::OnCalibrate},
      {sid::kImportCurvesEntry, "importCurvesAction", &MainDialog::OnImportCurves},
      {sid::kExportCurvesEntry, "exportCurvesAction", &MainDialog::OnExportCurves},
  };
  for (const auto& entry : entries) {
    auto* action = new QAction(LoadString(entry.stringId), this);
    action->setObjectName(QString::fromLatin1(entry.objectName));
    connect(action, &QAction::triggered, this, entry.handler);
    addAction(action);
  }
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  addAction(separator);
}

std::optional<int> MainDialog::ChooseItem(const QString& label, const QStringList& items,
                                          int current) {
  if (chooseItem_)
    return chooseItem_(label, items, current);
  bool ok = false;
  const QString chosen =
      QInputDialog::getItem(this, windowTitle(), label, items, current, /*editable=*/false, &ok);
  if (!ok)
    return std::nullopt;
  const int index = static_cast<int>(items.indexOf(chosen));
  return index < 0 ? std::nullopt : std::optional(index);
}

QString MainDialog::StartFolder() {
  QString directory = QDir::homePath();
  if (char* cwd = ::getcwd(nullptr, 0)) {
    directory = QFile::decodeName(cwd);
    std::free(cwd);
  }
  return directory;
}

void MainDialog::StoreMadeDefinition(const std::string& error, const DensityDef& made,
                                     int failureId) {
  if (!error.empty()) {
    Message m = StringMessage(strings_, failureId);
    m.detail = error;
    ui_.Show(m);
    return;
  }
  workingDefinition = made;
  if (!StoreThroughEditor([this](const DensityDef& d) { return workspace_.StoreNew(d); }))
    return;
  ShowLibrary();
  list_box::Select(*libraryList_, RowOf(*libraryList_, NameOf(workingDefinition)));
  LibrarySelectionChanged();
}

// --- The test chart ----------------------------------------------------------------

void MainDialog::OnPrintChart() {
  const int index = printerCombo_->currentIndex();
  const auto* queue =
      workspace_.loaded() ? dynamic_cast<const PpdQueueTarget*>(&workspace_.loaded()->target())
                          : nullptr;
  if (targetMode != TargetMode::Printer || !queue || index < 0 ||
      static_cast<std::size_t>(index) >= printerPpdPaths.size()) {
    ui_.Show(StringMessage(strings_, sid::kNoPrinter));
    return;
  }
  const std::string& printer = printerPpdPaths[static_cast<std::size_t>(index)].queue;
  // The controls the PPD holds now: what the print dialog offers.
  QStringList items{LoadString(sid::kNoControl)};
  std::vector<std::string> names{""};
  for (const ChoiceRead& choice : workspace_.loaded()->state().choices) {
    if (choice.keyword == 0)
      continue;
    names.push_back(choice.name);
    items.append(NameToQString(choice.name));
  }
  int current = 0;
  if (const int row = list_box::SelectedRow(*printerListBox_); row >= 0)
    for (std::size_t i = 1; i < names.size(); ++i)
      if (names[i] == EntryName(*printerListBox_, row))
        current = static_cast<int>(i);
  const std::optional<int> picked = ChooseItem(LoadString(sid::kChartControlLabel), items, current);
  if (!picked)
    return;
  ChartOptions chart;
  chart.date = TodaysDate();
  chart.control = names[static_cast<std::size_t>(*picked)];
  const ChartPrintOutcome printed = PrintChartOnTarget(workspace_, spooler_, printer, chart);
  Message m = StringMessage(strings_, printed.result == ChartPrintResult::Printed
                                          ? sid::kChartSent
                                          : sid::kChartNotPrinted);
  m.subject = printer;
  if (printed.result != ChartPrintResult::Printed) {
    m.kind = MessageKind::Stop;
    m.detail = printed.reason;
  }
  ui_.Show(m);
}

// --- Calibrating ---------------------------------------------------------------------

void MainDialog::OnCalibrate() {
  const std::optional<QString> file =
      fileDialog_.OpenFile(this, StartFolder(), ToQtFilter(LoadString(sid::kMeasurementsFilter)));
  if (!file)
    return;
  const std::optional<int> aim = ChooseItem(
      LoadString(sid::kAimLabel),
      {LoadString(sid::kAimLinearDensity), LoadString(sid::kAimLinearLStar)}, 0);
  if (!aim)
    return;
  Aim wanted;
  wanted.kind = *aim == 0 ? AimKind::LinearDensity : AimKind::LinearLStar;
  const CalibrationOutcome out = CalibrateFile(LocalPath(*file), wanted, nullptr);
  StoreMadeDefinition(out.error, out.definition, sid::kMeasurementsUnusable);
}

// --- Curves in and out -----------------------------------------------------------------

void MainDialog::OnImportCurves() {
  const std::optional<QString> file =
      fileDialog_.OpenFile(this, StartFolder(), ToQtFilter(LoadString(sid::kCurvesFilter)));
  if (!file)
    return;
  const CurveImportOutcome read = ReadCurves(LocalPath(*file));
  StoreMadeDefinition(read.error, read.definition, sid::kCurvesNotRead);
}

void MainDialog::OnExportCurves() {
  const int row = list_box::SelectedRow(*libraryList_);
  if (row < 0)
    return;
  const std::string name = EntryName(*libraryList_, row);
  const std::optional<QString> file =
      fileDialog_.SaveFile(this, StartFolder(), ToQtFilter(LoadString(sid::kCurvesFilter)),
                           NameToQString(name) + QStringLiteral(".cal"));
  if (!file)
    return;
  const CurveExportOutcome out = ExportCurves(workspace_, name, LocalPath(*file));
  if (!out.ok && !out.error.empty()) {
    Message m = StringMessage(strings_, sid::kCurvesNotWritten);
    m.kind = MessageKind::Stop;
    m.detail = out.error;
    ui_.Show(m);
  }
}

}  // namespace tonalis::ui
