#include "workspace/curve_transfer.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "model/curve_fit.h"

namespace tonalis {
namespace {

// The time as ArgyllCMS writes it in CREATED: "Tue Dec  8 06:55:00 2026".
std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &local);
  return buf;
}

IdealCurve IdealOf(const CurveTable& table) {
  IdealCurve ideal{};
  for (int i = 0; i < kIdealSize; ++i) ideal[i] = static_cast<double>(table[i]) / 255.0;
  return ideal;
}

}  // namespace

CurveExportOutcome ExportCurves(Workspace& ws, std::string_view name, const std::string& path) {
  CurveExportOutcome out;
  out.format = CurveFormatOf(path);
  if (!out.format) {
    out.error = UnknownCurveFormat(path);
    return out;
  }
  if (!ws.libraryOpen() && !ws.ReadLibrary())
    return out;
  const DensityDef* def = ws.Find(Side::Library, name);
  if (!def) {
    out.error = ws.libraryPath() + ": there is no definition named \"" + std::string(name) + "\"";
    return out;
  }
  const std::string bytes = CurveFileBytes(
      *def, *out.format, {"Tonalis density control " + std::string(NameOf(*def)), Now()});
  const ReplaceResult written =
      ReplaceFileContents(path, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  if (!written.ok) {
    out.error = path + ": the curves cannot be written: " +
                FileFailureReason(path, written.error, written.failedStep);
    return out;
  }
  out.ok = true;
  return out;
}

CurveImportOutcome FitTables(const CurveTables& tables) {
  CurveImportOutcome out;
  out.definition = NewDefinition();
  const CurveTable& cyan = tables.channels[kCyan];
  const bool same = std::all_of(tables.channels.begin(), tables.channels.end(),
                                [&](const CurveTable& t) { return t == cyan; });
  out.definition.allChannels = same ? 1 : 0;
  for (int c = 0; c < kChannelCount; ++c) {
    if (same && c > 0) {
      out.definition.channels[c] = out.definition.channels[kCyan];
      out.fitGaps[c] = out.fitGaps[kCyan];
      continue;
    }
    const CurveFit fit = FitCurve(IdealOf(tables.channels[c]));
    out.definition.channels[c] = fit.curve;
    out.fitGaps[c] = fit.maxGap;
  }
  out.ok = true;
  return out;
}

CurveImportOutcome ReadCurves(const std::string& path) {
  CurveImportOutcome failed;
  const std::optional<CurveFormat> format = CurveFormatOf(path);
  if (!format) {
    failed.error = UnknownCurveFormat(path);
    return failed;
  }
  const std::optional<std::string> bytes =
      ReadInputFile(path, kMaxCurveFileBytes, "a curve file", failed.error);
  if (!bytes)
    return failed;
  const CurveFileRead read = ParseCurveFile(*bytes, *format, path);
  if (!read.tables) {
    failed.error = read.error;
    return failed;
  }
  CurveImportOutcome out = FitTables(*read.tables);
  out.ok = true;
  return out;
}

CurveImportOutcome ImportCurves(Workspace& ws, const CurveImportRequest& request) {
  CurveImportOutcome out = ReadCurves(request.path);
  if (!out.ok)
    return out;
  out.ok = false;
  if (!ws.libraryOpen() && !ws.OpenLibrary())
    return CurveImportOutcome{};
  if (!request.replace && ws.Find(Side::Library, request.name)) {
    CurveImportOutcome failed;
    failed.error = ws.libraryPath() + ": a definition named \"" + request.name +
                   "\" is already there (--replace replaces it)";
    return failed;
  }
  SetName(out.definition, request.name);
  out.stored = ws.Put(out.definition);
  out.ok = Succeeded(out.stored) && ws.WriteLibrary();
  return out;
}

}  // namespace tonalis
