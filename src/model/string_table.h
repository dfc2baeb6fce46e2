// Every text the user sees, and the PostScript pieces of the PPD section,
// by number (1 to 112). The program's own table is built in; a language module
// can supply another StringSource with the same numbers.
#pragma once

#include <string>
#include <string_view>

#include "platform/interaction.h"

namespace tonalis {

inline constexpr int kFirstStringId = 1;
inline constexpr int kLastStringId = 112;

// Ids that code refers to by name.
namespace sid {
inline constexpr int kNameThisSetting = 1;
inline constexpr int kNoEndPoints = 2;
inline constexpr int kFirstPointOutOfRange = 3;  // 3..15: the thirteen point fields
inline constexpr int kGammaOutOfRange = 16;
inline constexpr int kNoPrinter = 17;
inline constexpr int kTableFull = 18;
inline constexpr int kNameTaken = 19;
inline constexpr int kSaveBeforeSwitch = 20;
inline constexpr int kUnsupportedPpd = 21;
inline constexpr int kPpdOpenFailed = 22;
inline constexpr int kPpdConstructionError = 23;
inline constexpr int kLibraryOpenFailed = 24;
inline constexpr int kDeleteQuestion = 25;
inline constexpr int kReplaceQuestion = 26;
inline constexpr int kSaveBeforeExit = 27;
inline constexpr int kLibraryWriteFailed = 28;
inline constexpr int kPpdWriteFailed = 29;
inline constexpr int kPpdWritten = 30;
inline constexpr int kMainTitle = 31;
inline constexpr int kAbout = 56;
inline constexpr int kFeatureTitle = 60;
inline constexpr int kFileFilter = 61;
inline constexpr int kNoneChoice = 62;
inline constexpr int kCloseOneTable = 77;
inline constexpr int kCloseFourTables = 78;
inline constexpr int kOpenPostScript = 79;
inline constexpr int kPpdReadOnly = 81;
inline constexpr int kLibraryReadOnly = 82;
inline constexpr int kNoneInvocation = 83;
inline constexpr int kNameControlCharacter = 84;
inline constexpr int kNameNotLatin1 = 85;  // %s: the refused character
// 86 to 88: the help viewer's Back, Forward and Home.
inline constexpr int kOutOfMemory = 89;
inline constexpr int kPpdChangedElsewhere = 90;
inline constexpr int kControlsLost = 91;
inline constexpr int kControlsChanged = 92;
// The note under the editor's graph where the printer cannot follow a curve:
// above 100 %, below 0 %, backwards, or more than one of these.
inline constexpr int kCurveAbove = 93;
inline constexpr int kCurveBelow = 94;
inline constexpr int kCurveBackwards = 95;
inline constexpr int kCurveClipped = 96;
// 97 to 112: the window's calibration entries and what they ask and say.
inline constexpr int kPrintChartEntry = 97;
inline constexpr int kCalibrateEntry = 98;
inline constexpr int kImportCurvesEntry = 99;
inline constexpr int kExportCurvesEntry = 100;
inline constexpr int kChartControlLabel = 101;
inline constexpr int kNoControl = 102;
inline constexpr int kChartSent = 103;
inline constexpr int kChartNotPrinted = 104;
inline constexpr int kMeasurementsFilter = 105;
inline constexpr int kAimLabel = 106;
inline constexpr int kAimLinearDensity = 107;
inline constexpr int kAimLinearLStar = 108;
inline constexpr int kMeasurementsUnusable = 109;
inline constexpr int kCurvesFilter = 110;
inline constexpr int kCurvesNotRead = 111;
inline constexpr int kCurvesNotWritten = 112;
}  // namespace sid

class StringSource {
 public:
  virtual ~StringSource() = default;
  // The text of `id`; empty when the source has none.
  virtual std::string Load(int id) const = 0;
};

// The program's own table.
class BuiltinStrings final : public StringSource {
 public:
  std::string Load(int id) const override;
};

const StringSource& DefaultStrings();

// Replaces each "%s" of `pattern`, in order, with `arg`.
std::string FillPlaceholders(std::string_view pattern, std::string_view arg);

// A message whose text is string `id` of `strings`.
Message StringMessage(const StringSource& strings, int id,
                      MessageKind kind = MessageKind::Information);

}  // namespace tonalis
