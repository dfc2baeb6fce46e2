#include "model/string_table.h"

#include <map>

#include "model/version.h"

namespace tonalis {

namespace {

// The program's own texts. 63, 64 and 80 are not used and stay empty.
// 77, 78, 79 and 83 are PostScript and PPD pieces written into the file as
// they stand, with the file's own line breaks in place of CR LF. 77 and 78
// keep the density tables in force through the job's own transfer calls
// and page device changes (the README says how).
const std::map<int, std::string>& Table() {
  static const std::map<int, std::string> table = {
    {1, "Name this setting."},
    {2, "There is no specified number in active range.\nSpecify the number again between 0 to 100."},
    {3, "The number specified in \"\"0%\"\" is not within the active range."},
    {4, "The number specified in \"\"5%\"\" is not within the active range."},
    {5, "The number specified in \"\"10%\"\" is not within the active range."},
    {6, "The number specified in \"\"20%\"\" is not within the active range."},
    {7, "The number specified in \"\"30%\"\" is not within the active range."},
    {8, "The number specified in \"\"40%\"\" is not within the active range."},
    {9, "The number specified in \"\"50%\"\" is not within the active range."},
    {10, "The number specified in \"\"60%\"\" is not within the active range."},
    {11, "The number specified in \"\"70%\"\" is not within the active range."},
    {12, "The number specified in \"\"80%\"\" is not within the active range."},
    {13, "The number specified in \"\"90%\"\" is not within the active range."},
    {14, "The number specified in \"\"95%\"\" is not within the active range."},
    {15, "The number specified in \"\"100%\"\" is not within the active range."},
    {16, "The number specified in \"\"Gamma-value\"\" is not within the active range."},
    {17, "The applicable printer could not be found."},
    {18, "It exceeds the number which can be registered."},
    {19, "There is a setting that has a same name."},
    {20, "Changed setting isn't saved into the PPD File.\nDo you save the setting before closing the dialog?"},
    {21, "The printer or file which doesn't cope with an VEL product is chosen."},
    {22, "It failed to open a PPD file."},
    {23, "There is a construction error in the PPD file."},
    {24, "It failed to open a %s.\nThe definition of the density control isn't kept in %s."},
    {25, "May I delete the selected setting?"},
    {26, "The setting that has a same name would be added. Do you cover it?\n\n\nIf you'd not like to cover, after canceling this addition,\nclick [Edit] button, change to the other name and do addition."},
    {27, "Changed setting isn't saved into the PPD File.\nDo you save the setting before closing the dialog?"},
    {28, "It failed to write a %s file."},
    {29, "It failed to write a PPD file."},
    {30, "The density control was put on the PPD File.\n\nTo print with one of its density controls, choose the printer in the print dialog and then the printer option \"Color adjustment\":\n(1) GNOME and other GTK applications: open the [Advanced] tab.\n    KDE and other Qt applications: click [Properties], then open the [Advanced] tab.\n(2) Under \"Color adjustment\", choose the density control by its name.\n\nOn the command line, give the density control's keyword:\n  lp -d PRINTER -o VLTone=KEYWORD FILE\nor make it your default for the printer:\n  lpoptions -p PRINTER -o VLTone=KEYWORD\n`tonalis-cli list --printer PRINTER` shows each density control's keyword (Gumma1, Gumma2, ...) beside its name. A density control keeps its keyword while it stays on the printer, wherever it moves in the list.\n\n* If an application does not offer the new choices, start it again."},
    {31, "Tonalis"},
    {32, "Defined  Density Control"},
    {33, "List(&T):"},
    {34, "New(&N)..."},
    {35, "Copy(&C)..."},
    {36, "Add(&I)->"},
    {37, "<- "},
    {38, "Edit(&E)..."},
    {39, "Delete(&D)"},
    {40, "Printer"},
    {41, "List(&L):"},
    {42, "Select printer(&P)"},
    {43, "Select PPD\nfor AP(&S)"},
    {44, "Browse(&B)..."},
    {45, "Exit(&X)"},
    {46, "C"},
    {47, "Apply(&A)"},
    {48, "Help(&H)..."},
    {49, "The Definition of Density Control"},
    {50, "Output(%)"},
    {51, "Input(%)"},
    {52, "The Name of Density Control(&N):"},
    {53, "Gamma-\nvalue(&G):"},
    {54, "Gamma-setting(&S)"},
    {55, "Reset(&R)"},
    {56, "About the Tonalis"},
    {57, std::string("Tonalis ") + TONALIS_VERSION},
    {58, "The Tonalis developers"},
    {59, "Free software under the MIT License. No warranty."},
    {60, "Color adjustment"},
    {61, "Printer Definition Files (*.ppd;*.spd) |*.ppd;*.spd;|All Files (*.*) | *.*||"},
    {62, "Not Specified"},
    {65, "Selection of Color"},
    {66, "CYMK All Apply"},
    {67, "Cyan"},
    {68, "Magenta"},
    {69, "Yellow"},
    {70, "Black"},
    {71, "0"},
    {72, "20"},
    {73, "40"},
    {74, "60"},
    {75, "80"},
    {76, "100"},
    {77, "%%VELCLT End\r\nglobaldict begin\r\n/VL@Clut exch def end false setglobal\r\n/VL@Cproc{255 mul round cvi globaldict /VL@Clut get exch get 255 div}bind def\r\ncurrentdict /VL@Cproc get dup dup dup\r\nuserdict begin\r\nuserdict /VL@Clip known not {\r\n/VL@Procs 4 array def\r\n/VL@setcolortransfer /setcolortransfer load def\r\n/VL@currentcolortransfer /currentcolortransfer load def\r\n/VL@currenttransfer /currenttransfer load def\r\n/VL@setpagedevice /setpagedevice load def\r\n/VL@Clip {dup 0 lt {pop 0} if dup 1 gt {pop 1} if} bind def\r\n% proc table -> {proc exec VL@Clip exec table exec}, always in local VM\r\n/VL@Wrap {currentglobal 3 1 roll false setglobal\r\n[3 -1 roll /exec load /VL@Clip load /exec load 6 -1 roll /exec load] cvx exch setglobal} bind def\r\n% obj marker -> bool: obj is a procedure of ours, built with marker in slot 2\r\n/VL@Is {exch dup type /arraytype eq {dup length 2 gt {2 get eq} {pop pop false} ifelse} {pop pop false} ifelse} bind def\r\n/VL@Job {dup /VL@Clip load VL@Is {0 get} if} bind def\r\n/VL@Get {VL@currentcolortransfer 4 {VL@Job 4 1 roll} repeat} bind def\r\n/VL@Set {3 -1 0 {exch VL@Job VL@Procs 3 -1 roll get VL@Wrap 4 1 roll} for VL@setcolortransfer} bind def\r\n/VL@Re {VL@currentcolortransfer VL@Set} bind def\r\n/setcolortransfer {VL@Set} bind def\r\n/settransfer {dup dup dup VL@Set} bind def\r\n/currentcolortransfer {VL@Get} bind def\r\n/currenttransfer {VL@currenttransfer VL@Job} bind def\r\n/setpagedevice {mark VL@currentcolortransfer 6 -1 roll VL@setpagedevice VL@setcolortransfer cleartomark} bind def\r\n} if\r\nVL@Procs astore pop VL@Re\r\ncurrentpagedevice /Install 2 copy known {get} {pop pop {}} ifelse\r\ndup /VL@Re load VL@Is {pop} {\r\n[exch /exec load /VL@Re load /exec load] cvx << /Install 3 -1 roll >> VL@setpagedevice} ifelse\r\nend erasepage\"\r\n"},
    {78, "%%VELCLT End\r\nglobaldict begin\r\n/VL@Klut exch def\r\n/VL@Ylut exch def\r\n/VL@Mlut exch def\r\n/VL@Clut exch def end false setglobal\r\n/VL@Cproc{255 mul round cvi globaldict /VL@Clut get exch get 255 div}bind def\r\n/VL@Mproc{255 mul round cvi globaldict /VL@Mlut get exch get 255 div}bind def\r\n/VL@Yproc{255 mul round cvi globaldict /VL@Ylut get exch get 255 div}bind def\r\n/VL@Kproc{255 mul round cvi globaldict /VL@Klut get exch get 255 div}bind def\r\ncurrentdict dup dup dup /VL@Cproc get 4 1 roll /VL@Mproc get 3 1 roll /VL@Yproc get\r\nexch /VL@Kproc get\r\nuserdict begin\r\nuserdict /VL@Clip known not {\r\n/VL@Procs 4 array def\r\n/VL@setcolortransfer /setcolortransfer load def\r\n/VL@currentcolortransfer /currentcolortransfer load def\r\n/VL@currenttransfer /currenttransfer load def\r\n/VL@setpagedevice /setpagedevice load def\r\n/VL@Clip {dup 0 lt {pop 0} if dup 1 gt {pop 1} if} bind def\r\n% proc table -> {proc exec VL@Clip exec table exec}, always in local VM\r\n/VL@Wrap {currentglobal 3 1 roll false setglobal\r\n[3 -1 roll /exec load /VL@Clip load /exec load 6 -1 roll /exec load] cvx exch setglobal} bind def\r\n% obj marker -> bool: obj is a procedure of ours, built with marker in slot 2\r\n/VL@Is {exch dup type /arraytype eq {dup length 2 gt {2 get eq} {pop pop false} ifelse} {pop pop false} ifelse} bind def\r\n/VL@Job {dup /VL@Clip load VL@Is {0 get} if} bind def\r\n/VL@Get {VL@currentcolortransfer 4 {VL@Job 4 1 roll} repeat} bind def\r\n/VL@Set {3 -1 0 {exch VL@Job VL@Procs 3 -1 roll get VL@Wrap 4 1 roll} for VL@setcolortransfer} bind def\r\n/VL@Re {VL@currentcolortransfer VL@Set} bind def\r\n/setcolortransfer {VL@Set} bind def\r\n/settransfer {dup dup dup VL@Set} bind def\r\n/currentcolortransfer {VL@Get} bind def\r\n/currenttransfer {VL@currenttransfer VL@Job} bind def\r\n/setpagedevice {mark VL@currentcolortransfer 6 -1 roll VL@setpagedevice VL@setcolortransfer cleartomark} bind def\r\n} if\r\nVL@Procs astore pop VL@Re\r\ncurrentpagedevice /Install 2 copy known {get} {pop pop {}} ifelse\r\ndup /VL@Re load VL@Is {pop} {\r\n[exch /exec load /VL@Re load /exec load] cvx << /Install 3 -1 roll >> VL@setpagedevice} ifelse\r\nend erasepage\"\r\n"},
    {79, "%%VELCLT Start\r\ntrue setglobal\r\n"},
    {81, "The specified PPD file is read-only.\nDo you want to add write attribute to the specified PPD ?"},
    {82, "The dat file is read-only.\nDo you want to add write attribute to the dat file ?"},
    {83, ": \"\"\r\n"},
    {84, "A name cannot hold control characters such as tabs or line breaks."},
    {85, "A name can hold only the letters and signs of ISO 8859-1 (Latin-1), the character set of printer description files; \u201C%s\u201D is not one of them."},
    {86, "Back"},
    {87, "Forward"},
    {88, "Home"},
    {89, "Out of memory: the program ends. Changes not yet written are lost."},
    {90, "The PPD file was changed by another program after Tonalis read it.\nDo you want to overwrite those changes ?"},
    {91, "The density controls that Tonalis put on this printer are no longer in its PPD file (a driver update may have replaced it).\nDo you want to put them back ?"},
    {92, "The density controls of this printer were changed by another program after Tonalis put them on it.\nDo you want to put back those of Tonalis ?"},
    {93, "Where the curve is drawn dashed it rises above 100 %: the printer prints 100 % there."},
    {94, "Where the curve is drawn dashed it falls below 0 %: the printer prints 0 % there."},
    {95, "Where the curve is drawn dashed it runs backwards: a darker input prints lighter there."},
    {96, "Where the curve is drawn dashed the printer does not follow it: it prints no more than 100 % and no less than 0 %, and where the curve runs backwards a darker input prints lighter."},
    {97, "Print test chart\u2026"},
    {98, "Calibrate from measurements\u2026"},
    {99, "Import curves\u2026"},
    {100, "Export curves\u2026"},
    {101, "Print the test chart with this density control in force:"},
    {102, "No density control"},
    {103, "The test chart was sent to the printer. Measure its patches once it has printed, then choose \u201CCalibrate from measurements\u2026\u201D."},
    {104, "The test chart cannot be printed."},
    {105, "Measurements (*.csv *.ti3)|*.csv;*.ti3|All files (*.*)|*.*||"},
    {106, "Aim of the calibration:"},
    {107, "Density rises evenly with the ink"},
    {108, "Lightness (L*) falls evenly with the ink"},
    {109, "The measurements cannot be used."},
    {110, "Curves (*.cal *.amp *.acv *.csv)|*.cal;*.amp;*.acv;*.csv|All files (*.*)|*.*||"},
    {111, "The curves cannot be read."},
    {112, "The curves cannot be written."},
  };
  return table;
}

}  // namespace

std::string BuiltinStrings::Load(int id) const {
  const auto& table = Table();
  auto it = table.find(id);
  if (it == table.end()) return {};
  return it->second;
}

const StringSource& DefaultStrings() {
  static const BuiltinStrings strings;
  return strings;
}

std::string FillPlaceholders(std::string_view pattern, std::string_view arg) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      out.append(arg);
      ++i;
    } else {
      out.push_back(pattern[i]);
    }
  }
  return out;
}

Message StringMessage(const StringSource& strings, int id, MessageKind kind) {
  Message m;
  m.kind = kind;
  m.stringId = id;
  m.text = strings.Load(id);
  return m;
}

}  // namespace tonalis
