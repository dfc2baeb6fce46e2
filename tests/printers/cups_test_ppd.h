// Small PPD texts for the printer-list tests.
#pragma once

#include <string>

namespace tonalis::test {

// A colour PostScript PPD with LF line endings, NickName `nick`, and the
// supported-product keyword when `marked`. `extra` goes before the font
// anchor (a density-control section, say).
inline std::string TestPpd(const std::string& nick, bool marked, const std::string& extra = {}) {
  return "*PPD-Adobe: \"4.3\"\n"
         "*ModelName: \"" + nick + "\"\n"
         "*NickName: \"" + nick + "\"\n"
         "*ColorDevice: True\n" +
         (marked ? "*QRHTUtility: True\n" : "") + extra +
         "*DefaultFont: Courier\n"
         "*Font Courier: Standard \"(002.004S)\" Standard ROM\n";
}

// A density-control section holding one definition named `name`.
inline std::string OneDefinitionSection(const std::string& name) {
  return "*OpenUI *VLTone/Color density control: PickOne\n"
         "*VLTone Gumma1/" + name + ": \"\"\n"
         "%% Same: 1\n"
         "%% PerC: 0 600 -1 -1 -1 -1 5500 -1 -1 -1 -1 -1 10000 -1\n"
         "%% PerM: 0 600 -1 -1 -1 -1 5500 -1 -1 -1 -1 -1 10000 -1\n"
         "%% PerY: 0 600 -1 -1 -1 -1 5500 -1 -1 -1 -1 -1 10000 -1\n"
         "%% PerK: 0 600 -1 -1 -1 -1 5500 -1 -1 -1 -1 -1 10000 -1\n"
         "*CloseUI: *VLTone\n";
}

}  // namespace tonalis::test
