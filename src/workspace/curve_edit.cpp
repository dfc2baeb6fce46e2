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
  const State before = Snapshot();
  def_.channels[channel].points[index] = value;
  ShowPoints();
  Record(before, {EditKind::kPoint, channel, index});
}

void CurveEdit::SetPointText(int index, std::string_view text) {
  const State before = Snapshot();
  (void)ParseHundredths(text, def_.channels[currentChannel()].points[index]);
  pointTexts_[static_cast<std::size_t>(index)] = std::string(text);
  Record(before, {EditKind::kPointText, currentChannel(), index});
}

void CurveEdit::SetGammaText(std::string_view text) {
  const State before = Snapshot();
  (void)ParseHundredths(text, def_.channels[currentChannel()].gamma);
  gammaText_ = std::string(text);
  Record(before, {EditKind::kGammaText, currentChannel()});
}

void CurveEdit::ClearPoint(int channel, int index) {
  int32_t value = kUnset;
  if (index == 0)
    value = 0;
  else if (index == kPointCount - 1)
    value = 10000;
  const State before = Snapshot();
  def_.channels[channel].points[index] = value;
  ShowPoints();
  Record(before, {EditKind::kClear, channel, index});
}

std::optional<Refusal> CurveEdit::ApplyGamma() {
  int32_t gamma = kUnset;
  if (!ParseHundredths(gammaText_, gamma) || gamma < 1 || gamma > 9999) {
    return Refusal{sid::kGammaOutOfRange, strings_->Load(sid::kGammaOutOfRange), currentChannel(),
                   -1};
  }
  const State before = Snapshot();
  const auto points = tonalis::ApplyGamma(gamma);
  std::copy(points.begin(), points.end(), def_.channels[currentChannel()].points);
  ShowPoints();
  Record(before, {EditKind::kGamma, currentChannel()});
  return std::nullopt;
}

void CurveEdit::Reset() {
  const State before = Snapshot();
  ResetCurves(def_);
  selected_ = kCyan;
  ShowPoints();
  Record(before, {EditKind::kReset});
}

void CurveEdit::SetAllChannels(bool all) {
  if (all == allChannels())
    return;
  const State before = Snapshot();
  if (all) {
    const ToneCurve kept = def_.channels[selected_];
    for (ToneCurve& channel : def_.channels) channel = kept;
    def_.allChannels = 1;
  } else {
    for (int c = kMagenta; c < kChannelCount; ++c) def_.channels[c] = def_.channels[kCyan];
    def_.allChannels = 0;
  }
  Record(before, {EditKind::kAll});
}

void CurveEdit::SelectChannel(int channel) {
  selected_ = channel;
  ShowChannel();
  open_.reset();
}

void CurveEdit::SetName(std::string_view name) {
  const State before = Snapshot();
  tonalis::SetName(def_, name);
  Record(before, {EditKind::kName});
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

// --- Undo -------------------------------------------------------------------

CurveEdit::State CurveEdit::Snapshot() const {
  return State{def_, selected_, pointTexts_, gammaText_};
}

void CurveEdit::Restore(const State& state) {
  def_ = state.def;
  selected_ = state.selected;
  pointTexts_ = state.pointTexts;
  gammaText_ = state.gammaText;
}

bool CurveEdit::Changed(const State& state, EditKind kind) const {
  if (!(state.def == def_))
    return true;
  // The other edits show the values afresh: a text formatted anew is no
  // change of its own.
  const bool textEdit = kind == EditKind::kPointText || kind == EditKind::kGammaText;
  return textEdit && (state.pointTexts != pointTexts_ || state.gammaText != gammaText_);
}

void CurveEdit::Record(const State& before, EditKey key) {
  const bool joins =
      open_ && !done_.empty() &&
      (*open_ == key ? key.kind == EditKind::kPointText || key.kind == EditKind::kGammaText ||
                           key.kind == EditKind::kName
                     : key.kind == EditKind::kClear && open_->kind == EditKind::kPoint &&
                           open_->channel == key.channel && open_->index == key.index);
  if (!Changed(before, key.kind)) {
    // Nothing to record; a call of another kind still ends the typing.
    if (!joins)
      open_.reset();
    return;
  }
  undone_.clear();
  if (joins) {
    Step& step = done_.back();
    step.after = Snapshot();
    open_ = key;
    // Typed back to what it was: the step has nothing left to take back.
    if (!Changed(step.before, key.kind)) {
      done_.pop_back();
      open_.reset();
    }
    return;
  }
  done_.push_back(Step{before, Snapshot()});
  if (done_.size() > static_cast<std::size_t>(kUndoDepth))
    done_.pop_front();
  open_ = key;
}

void CurveEdit::Undo() {
  open_.reset();
  if (done_.empty())
    return;
  Restore(done_.back().before);
  undone_.push_back(std::move(done_.back()));
  done_.pop_back();
}

void CurveEdit::Redo() {
  open_.reset();
  if (undone_.empty())
    return;
  Restore(undone_.back().after);
  done_.push_back(std::move(undone_.back()));
  undone_.pop_back();
}

}  // namespace tonalis
