#include "platform/interaction.h"

#include <cstdio>
#include <cstring>

namespace tonalis {

std::string Message::FullText() const {
  if (detail.empty()) return text;
  return text + "\n\n" + detail;
}

Message ErrorCodeMessage(std::string_view context, uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(code));
  Message m;
  m.kind = MessageKind::Stop;
  m.text = std::string(context) + " = " + hex;
  return m;
}

void ShowErrorCode(UserInteraction& ui, std::string_view context, uint32_t code) {
  ui.Show(ErrorCodeMessage(context, code));
}

std::string SystemReason(int error) {
  char buf[256];
  // GNU strerror_r returns the text, which may not be in buf.
  return strerror_r(error, buf, sizeof buf);
}

}  // namespace tonalis
