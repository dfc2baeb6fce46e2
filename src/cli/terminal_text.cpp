#include "cli/terminal_text.h"

#include <cstdio>

namespace tonalis::cli {

namespace {

std::string Escape(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

bool IsContinuation(unsigned char byte) {
  return byte >= 0x80 && byte <= 0xBF;
}

// How many continuation bytes follow a UTF-8 lead byte; 0 for any other.
int ContinuationsAfter(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF)
    return 1;
  if (byte >= 0xE0 && byte <= 0xEF)
    return 2;
  if (byte >= 0xF0 && byte <= 0xF4)
    return 3;
  return 0;
}

}  // namespace

TerminalSafeBuf::~TerminalSafeBuf() {
  FlushPending();
  target_->pubsync();
}

bool TerminalSafeBuf::Put(std::string_view text) {
  return target_->sputn(text.data(), static_cast<std::streamsize>(text.size())) ==
         static_cast<std::streamsize>(text.size());
}

bool TerminalSafeBuf::PutByte(unsigned char byte) {
  // C0 but line feed and tab, DEL, and a byte 0x80 to 0x9F outside a UTF-8
  // sequence (a C1 control to an 8-bit terminal).
  const bool control = (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F ||
                       (byte >= 0x80 && byte <= 0x9F);
  if (control)
    return Put(Escape(byte));
  return target_->sputc(static_cast<char>(byte)) != traits_type::eof();
}

bool TerminalSafeBuf::FlushPending() {
  bool ok = true;
  for (int i = 0; i < pendingLength_; ++i) ok = PutByte(static_cast<unsigned char>(pending_[i])) && ok;
  pendingLength_ = 0;
  expected_ = 0;
  return ok;
}

TerminalSafeBuf::int_type TerminalSafeBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof()))
    return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
  const auto byte = static_cast<unsigned char>(traits_type::to_char_type(c));
  bool ok = true;
  if (expected_ > 0 && IsContinuation(byte)) {
    pending_[pendingLength_++] = static_cast<char>(byte);
    if (--expected_ == 0) {
      const auto lead = static_cast<unsigned char>(pending_[0]);
      if (lead == 0xC2 && byte <= 0x9F) {
        ok = Put(Escape(byte));  // U+0080 to U+009F: its ISO 8859-1 byte
      } else {
        ok = Put({pending_, static_cast<std::size_t>(pendingLength_)});
      }
      pendingLength_ = 0;
    }
    return ok ? c : traits_type::eof();
  }
  ok = FlushPending();  // a sequence cut short, if any
  if (const int continuations = ContinuationsAfter(byte)) {
    pending_[0] = static_cast<char>(byte);
    pendingLength_ = 1;
    expected_ = continuations;
  } else {
    ok = PutByte(byte) && ok;
  }
  return ok ? c : traits_type::eof();
}

// A character cut by a flush is finished by the bytes that follow, so its
// first bytes wait.
int TerminalSafeBuf::sync() {
  return target_->pubsync();
}

}  // namespace tonalis::cli
