#include "workspace/curve_edit.h"

#include <algorithm>

#include "model/tone_curve.h"
#include "model/value_text.h"

namespace tonalis {

namespace {

// Stands for a field whose text is no number: out of every range, so that
// the rule refuses it where it would refuse a bad number in that field.
constexpr int32_t kNotANumber = INT32_MAX;

// The value a field's text gives when the definition is checked.
int32_t CheckedValue(const std::string& text) {
  int32_t value = kNotANumber;
  (void)ParseHundredths(text, value);
  return value;
}

}  // namespace

CurveEdit::CurveEdit(const DensityDef& def, const StringSource& strings)
    : strings_(&strings), def_(def) {
  ShowChannel();
}

void CurveEdit::ShowPoints() {
  const ToneCurve& curve = currentCurve();
  for (int i = 0; i < kPointCount; ++i)
    pointTexts_[static_cast<std::size_t>(i)] = FormatHundredths(curve.points[i]);
}

void CurveEdit::ShowChannel() {
  ShowPoints();
  gammaText_ = FormatHundredths(currentCurve().gamma);
}

void CurveEdit::SetPoint(int channel, int index, int32_t value) {
  def_.channels[channel].points[index] = value;
  ShowPoints();
}

void CurveEdit::SetPointText(int index, std::string_view text) {
  (void)ParseHundredths(text, def_.channels[currentChannel()].points[index]);
  pointTexts_[static_cast<std::size_t>(index)] = std::string(text);
}

void CurveEdit::SetGammaText(std::string_view text) {
  (void)ParseHundredths(text, def_.channels[currentChannel()].gamma);
  gammaText_ = std::string(text);
}

void CurveEdit::ClearPoint(int channel, int index) {
  int32_t value = kUnset;
  if (index == 0)
    value = 0;
  else if (index == kPointCount - 1)
    value = 10000;
  SetPoint(channel, index, value);
}

std::optional<Refusal> CurveEdit::ApplyGamma() {
  int32_t gamma = kUnset;
  if (!ParseHundredths(gammaText_, gamma) || gamma < 1 || gamma > 9999) {
    return Refusal{sid::kGammaOutOfRange, strings_->Load(sid::kGammaOutOfRange), currentChannel(),
                   -1};
  }
  const auto points = tonalis::ApplyGamma(gamma);
  std::copy(points.begin(), points.end(), def_.channels[currentChannel()].points);
  ShowPoints();
  return std::nullopt;
}

void CurveEdit::Reset() {
  ResetCurves(def_);
  selected_ = kCyan;
  ShowPoints();
}

void CurveEdit::SetAllChannels(bool all) {
  if (all == allChannels())
    return;
  if (all) {
    const ToneCurve kept = def_.channels[selected_];
    for (ToneCurve& channel : def_.channels) channel = kept;
    def_.allChannels = 1;
  } else {
    for (int c = kMagenta; c < kChannelCount; ++c) def_.channels[c] = def_.channels[kCyan];
    def_.allChannels = 0;
  }
}

void CurveEdit::SelectChannel(int channel) {
  selected_ = channel;
  ShowChannel();
}

void CurveEdit::SetName(std::string_view name) {
  tonalis::SetName(def_, name);
}

std::optional<Refusal> CurveEdit::Accept() {
  DensityDef candidate = def_;
  // The fields on show count as they read: a text that is no number is
  // refused in its place, and the gamma field gives the gamma of the curve
  // on show.
  ToneCurve& shown = candidate.channels[currentChannel()];
  for (int i = 0; i < kPointCount; ++i)
    shown.points[i] = CheckedValue(pointTexts_[static_cast<std::size_t>(i)]);
  shown.gamma = CheckedValue(gammaText_);
  candidate.allChannels = allChannels() ? 1 : 0;
  if (allChannels()) {
    for (int c = kMagenta; c < kChannelCount; ++c)
      candidate.channels[c] = candidate.channels[kCyan];
  }
  if (std::optional<Refusal> refusal = Validate(candidate, *strings_))
    return refusal;
  def_ = candidate;
  return std::nullopt;
}

}  // namespace tonalis
