// An edit session of one density definition: what the curve editor does,
// without the editor's window.
//
// The session holds the definition being edited, the channel on show and the
// texts of the value fields as the user typed them. The fields show one
// channel: its thirteen points and its gamma. Every edit is one call, and
// each call leaves the session in a state the window can show as it stands.
//
// Typing stores at once: an empty text unsets the value, a number is stored
// even when it is out of range (Accept refuses it), a malformed text leaves
// the value as it was and is refused by Accept. Accept checks the whole
// definition, every channel that takes part, and tells what it refused so
// that the window can show the message and go to the field concerned.
//
// Every edit that changes something is a step that Undo takes back and Redo
// makes again, up to kUndoDepth steps (the oldest go first). A step brings
// back the whole session as it was: definition, channel on show and field
// texts. Typing in one field is one step however many characters it takes:
// text edits of the same field (and of the same channel) in a row join one
// step, until another edit, a channel is picked, or Undo or Redo. The
// double-click that clears a point starts as a click on it: a ClearPoint
// right after the SetPoint of the same point joins that step. Picking a
// channel is no edit, and a new step drops the steps Undo took back.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "model/density_def.h"
#include "model/string_table.h"
#include "model/validate.h"

namespace tonalis {

class CurveEdit {
 public:
  // Starts on `def`, showing its cyan channel. The strings word the
  // refusals.
  explicit CurveEdit(const DensityDef& def = NewDefinition(),
                     const StringSource& strings = DefaultStrings());

  // --- Edits --------------------------------------------------------------

  // Sets point `index` of `channel` (or of the channel the edits work on) to
  // `value`, set or kUnset; the point fields show the channel afresh.
  void SetPoint(int channel, int index, int32_t value);
  void SetPoint(int index, int32_t value) { SetPoint(currentChannel(), index, value); }

  // The user's text in the field of point `index` of the current channel.
  void SetPointText(int index, std::string_view text);
  // The user's text in the gamma field; the current channel's gamma follows.
  void SetGammaText(std::string_view text);

  // Takes point `index` out of the curve. The end points cannot be unset:
  // they go back to 0 % and 100 % instead.
  void ClearPoint(int channel, int index);
  void ClearPoint(int index) { ClearPoint(currentChannel(), index); }

  // Fills the points of the current channel with the curve of the gamma
  // field's value; the channel's gamma stays as typed. Refuses (string 16)
  // a text that is not a gamma of 0.01 to 99.99, and then changes nothing.
  std::optional<Refusal> ApplyGamma();

  // Back to the points of a new definition, one curve for all colours and
  // cyan on show. The gammas, the name and the gamma field's text stay.
  void Reset();

  // One curve for all colours: the curve of the channel on show becomes it.
  // Back to one curve per colour: every colour starts from that curve.
  void SetAllChannels(bool all);

  // Shows `channel` in the fields (its values, formatted afresh). With one
  // curve for all colours the fields stay on that curve.
  void SelectChannel(int channel);

  // The name as bytes, taken as given (blanks included).
  void SetName(std::string_view name);

  // Checks the definition as the fields show it. Without a refusal the
  // session's definition is the one to keep; with one, nothing changes.
  std::optional<Refusal> Accept();

  // --- Undo ---------------------------------------------------------------

  static constexpr int kUndoDepth = 100;

  // Back to the session as it was before the latest step still done, or
  // forward to it as it was after the step Undo took back last. Each does
  // nothing when there is no such step.
  void Undo();
  void Redo();
  bool canUndo() const { return !done_.empty(); }
  bool canRedo() const { return !undone_.empty(); }

  // --- Reading ------------------------------------------------------------

  const DensityDef& definition() const { return def_; }
  bool allChannels() const { return def_.allChannels == 1; }
  // The channel the user picked last (the checked colour).
  int selectedChannel() const { return selected_; }
  // The channel the edits work on: cyan with one curve for all colours,
  // the selected one otherwise.
  int currentChannel() const { return allChannels() ? static_cast<int>(kCyan) : selected_; }
  const ToneCurve& currentCurve() const { return def_.channels[currentChannel()]; }
  std::string_view name() const { return NameOf(def_); }

  // The field texts: as typed, or the formatted values after the fields
  // were shown afresh.
  const std::string& pointText(int index) const {
    return pointTexts_[static_cast<std::size_t>(index)];
  }
  const std::string& gammaText() const { return gammaText_; }
  // Whether the gamma field holds something to apply.
  bool canApplyGamma() const { return !gammaText_.empty(); }

 private:
  void ShowPoints();
  void ShowChannel();

  // What an edit call was, to tell which calls join one step.
  enum class EditKind { kPoint, kClear, kPointText, kGammaText, kGamma, kReset, kAll, kName };
  struct EditKey {
    EditKind kind;
    int channel = -1;
    int index = -1;
    bool operator==(const EditKey&) const = default;
  };
  struct State {
    DensityDef def;
    int selected;
    std::array<std::string, kPointCount> pointTexts;
    std::string gammaText;
  };
  struct Step {
    State before;
    State after;
  };
  State Snapshot() const;
  void Restore(const State& state);
  // Whether `state` differs from the session: in the definition, and for a
  // text edit in the field texts as well.
  bool Changed(const State& state, EditKind kind) const;
  // Records the call `key` that found the session at `before`.
  void Record(const State& before, EditKey key);

  const StringSource* strings_;
  DensityDef def_;
  int selected_ = kCyan;
  std::array<std::string, kPointCount> pointTexts_;
  std::string gammaText_;

  std::deque<Step> done_;    // oldest first
  std::deque<Step> undone_;  // the step Redo makes again last
  // The call that made or extended the latest step, while a next call may
  // still join it.
  std::optional<EditKey> open_;
};

}  // namespace tonalis
