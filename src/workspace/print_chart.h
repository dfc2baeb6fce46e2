// Printing the test chart on a queue with a density control chosen, as a
// user would choose it in the print dialog: the job's VLTone option is the
// control's choice in the queue's PPD (None for none).
#pragma once

#include <string>
#include <vector>

#include "formats/test_chart.h"
#include "printers/spooler.h"
#include "workspace/workspace.h"

namespace tonalis {

enum class ChartPrintResult {
  Printed,
  ReadFailed,     // the queue's PPD could not be read (the workspace said why)
  NoControls,     // the PPD holds no density controls
  NoSuchControl,  // none of them has the name asked for
  PrintFailed,    // the scheduler refused the job (`reason`)
};

struct ChartPrintOutcome {
  ChartPrintResult result = ChartPrintResult::ReadFailed;
  std::string choice;                 // the VLTone choice sent: "None", "Gumma2"
  int jobId = 0;
  std::string reason;                 // the scheduler's, for PrintFailed
  std::vector<std::string> controls;  // the queue's control names, for NoSuchControl
};

// The choice of `control` (a name, ISO 8859-1; empty for none) among the
// density controls of the workspace's target as its PPD holds them now,
// not as unsaved changes would make them; empty when there is none.
std::string ChartChoice(const Workspace& ws, const std::string& control);

// Prints the chart of `chart` (its control names the one in force) on
// `queue` of the configured scheduler. A named control is looked up in the
// queue's PPD, which `ws` reads for it.
ChartPrintOutcome PrintChartOnQueue(Workspace& ws, Spooler& spooler, const std::string& queue,
                                    const ChartOptions& chart);

// The same on the queue the workspace already has as its target.
ChartPrintOutcome PrintChartOnTarget(const Workspace& ws, Spooler& spooler,
                                     const std::string& queue, const ChartOptions& chart);

}  // namespace tonalis
