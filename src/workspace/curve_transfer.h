// Curves in and out: a library definition written as a curve file another
// colour tool reads, and a curve file made into a library definition (see
// formats/curve_files.h for the formats).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "formats/curve_files.h"
#include "workspace/workspace.h"

namespace tonalis {

struct CurveExportOutcome {
  bool ok = false;
  // What went wrong (empty when the workspace reported it, as for a library
  // that cannot be read).
  std::string error{};
  // The format written; with IsLossy(*format) the file holds the curves
  // rounded to whole levels of 0..255.
  std::optional<CurveFormat> format{};
};

// Writes the library's definition `name` to `path`, in the format of the
// path's extension: every table of what the definition prints (cyan's four
// times when it serves all colours). The file is replaced whole or not at
// all. Uses the workspace's library when it is open, reads it otherwise.
CurveExportOutcome ExportCurves(Workspace& ws, std::string_view name, const std::string& path);

struct CurveImportRequest {
  std::string path;      // the curve file; its extension gives the format
  std::string name;      // of the new definition, ISO 8859-1
  bool replace = false;  // an existing definition of `name` may be replaced
};

struct CurveImportOutcome {
  bool ok = false;
  // What went wrong before the library was touched (empty when the
  // workspace reported it, as for a failed write or a refused name).
  std::string error{};
  // Per channel, the largest gap between the file's curve and the fitted
  // control points as the printer gets them, in percent (see FitCurve).
  std::array<double, kChannelCount> fitGaps{};
  StoreResult stored = StoreResult::NotFound;
  // allChannels 1 when the file's four curves are the same, 0 otherwise.
  DensityDef definition{};
};

// Reads the curve file, fits each channel's thirteen control points to it
// and stores the definition in the workspace's library, which it opens
// (unless it is open) and writes, with whatever other changes it holds.
// Nothing is written when the file, the name or the library fails. Fitting
// takes a moment (a tenth of a second or so per distinct curve).
CurveImportOutcome ImportCurves(Workspace& ws, const CurveImportRequest& request);

// The definition fitted to the curves of the file `path` (no name), read as
// ImportCurves reads it; ok false with `error` when the file fails.
CurveImportOutcome ReadCurves(const std::string& path);

// The definition fitted to `tables` (no name), and its per-channel gaps.
CurveImportOutcome FitTables(const CurveTables& tables);

}  // namespace tonalis
