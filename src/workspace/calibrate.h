// The calibrate use case: measurements of a printed test chart become a
// density control in the library.
#pragma once

#include <array>
#include <string>

#include "formats/measurements.h"
#include "model/calibration.h"
#include "workspace/workspace.h"

namespace tonalis {

struct CalibrationRequest {
  std::string measurements;  // the file (see formats/measurements.h)
  std::string name;          // of the new definition, ISO 8859-1
  Aim aim{};
  // The library definition the chart was printed with; empty: none. Its
  // curves say what ink each patch really got.
  std::string from{};
  bool replace = false;      // an existing definition of `name` may be replaced
};

struct CalibrationOutcome {
  bool ok = false;
  // What went wrong before the library was touched (empty when the
  // workspace reported it, as for a failed write).
  std::string error{};
  std::array<ChannelCalibration, kChannelCount> channels{};
  StoreResult stored = StoreResult::NotFound;
  DensityDef definition{};
};

// Reads the measurements, calibrates each channel and stores the result in
// the workspace's library, which it opens and writes. Nothing is written
// when the file, the request or a channel fails.
CalibrationOutcome CalibrateIntoLibrary(Workspace& ws, const CalibrationRequest& request);

// The density control made from the measurements in the file `path` (no
// name); `error` tells what was wrong with the file or its readings.
CalibrationOutcome CalibrateFile(const std::string& path, const Aim& aim, const DensityDef* from);

// The density control made from `m` (allChannels 0, no name); `from`, when
// given, is the definition the chart was printed with.
CalibrationOutcome CalibrateMeasurements(const Measurements& m, const Aim& aim,
                                         const DensityDef* from);

}  // namespace tonalis
