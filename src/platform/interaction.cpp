#include "platform/interaction.h"

#include <cstring>

namespace tonalis {

std::string Message::FullText() const {
  if (detail.empty()) return text;
  return text + "\n\n" + detail;
}

Message SystemFailure(std::string what, std::string reason) {
  Message m;
  m.kind = MessageKind::Stop;
  m.text = std::move(what);
  m.detail = std::move(reason);
  return m;
}

std::string SystemReason(int error) {
  char buf[256];
  // GNU strerror_r returns the text, which may not be in buf.
  return strerror_r(error, buf, sizeof buf);
}

}  // namespace tonalis
