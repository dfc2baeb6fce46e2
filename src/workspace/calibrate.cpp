#include "workspace/calibrate.h"

#include <cerrno>
#include <cmath>

#include "model/curve_fit.h"

namespace tonalis {
namespace {


// The ink a patch of `input` % got through a channel of `curve`: the entry
// of its transfer table that the channel's lookup picks for that input.
double InkThrough(const IdealCurve& samples, double input) {
  const long step = std::lround(255 * (1 - input / 100));
  return samples[std::size_t(255 - std::clamp(step, 0L, 255L))];
}

}  // namespace

CalibrationOutcome CalibrateMeasurements(const Measurements& m, const Aim& aim,
                                         const DensityDef* from) {
  CalibrationOutcome out;
  out.definition = NewDefinition();
  out.definition.allChannels = 0;
  const bool lstarAim = aim.kind == AimKind::LinearLStar;
  for (int c = 0; c < kChannelCount; ++c) {
    std::optional<IdealCurve> through;
    if (from)
      through = CurveSamples(from->channels[from->allChannels == 1 ? kCyan : c]);
    std::vector<ChannelSample> samples;
    for (const MeasuredPatch& p : m.channels[c]) {
      double value = p.value;
      if (m.quantity == MeasuredQuantity::LStar)
        value = lstarAim ? 100 - value : DensityFromLStar(value);
      else if (lstarAim)
        value = 100 - LStarFromDensity(value);
      samples.push_back({through ? InkThrough(*through, p.input) : p.input, value});
    }
    out.channels[c] = CalibrateChannel(std::move(samples), aim);
    if (!out.channels[c].error.empty()) {
      out.error = std::string(kChannelWords[c]) + ": " + out.channels[c].error;
      return out;
    }
    out.definition.channels[c] = out.channels[c].curve;
  }
  out.ok = true;
  return out;
}

namespace {

// The measurements of the file `path`; `error` set when there are none.
std::optional<Measurements> ReadMeasurements(const std::string& path, std::string& error) {
  const std::optional<std::string> text =
      ReadInputFile(path, kMaxMeasurementBytes, "measurements of a chart", error);
  if (!text)
    return std::nullopt;
  MeasurementsRead read = ParseMeasurements(*text, path);
  error = std::move(read.error);
  return std::move(read.measurements);
}

}  // namespace

CalibrationOutcome CalibrateFile(const std::string& path, const Aim& aim, const DensityDef* from) {
  CalibrationOutcome failed;
  const std::optional<Measurements> m = ReadMeasurements(path, failed.error);
  if (!m)
    return failed;
  CalibrationOutcome out = CalibrateMeasurements(*m, aim, from);
  if (!out.ok)
    out.error = path + ": " + out.error;
  return out;
}

CalibrationOutcome CalibrateIntoLibrary(Workspace& ws, const CalibrationRequest& request) {
  CalibrationOutcome failed;
  const std::optional<Measurements> measurements =
      ReadMeasurements(request.measurements, failed.error);
  if (!measurements)
    return failed;
  if (!ws.OpenLibrary())
    return failed;
  const DensityDef* from = nullptr;
  if (!request.from.empty() && !(from = ws.Find(Side::Library, request.from))) {
    failed.error = ws.libraryPath() + ": there is no definition named \"" + request.from + "\"";
    return failed;
  }
  if (!request.replace && ws.Find(Side::Library, request.name)) {
    failed.error = ws.libraryPath() + ": a definition named \"" + request.name +
                   "\" is already there (--replace replaces it)";
    return failed;
  }
  CalibrationOutcome out = CalibrateMeasurements(*measurements, request.aim, from);
  if (!out.ok) {
    out.error = request.measurements + ": " + out.error;
    return out;
  }
  SetName(out.definition, request.name);
  out.stored = ws.Put(out.definition);
  out.ok = Succeeded(out.stored) && ws.WriteLibrary();
  return out;
}

}  // namespace tonalis
