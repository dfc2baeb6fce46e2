// Text for a terminal: control characters shown as escapes.
//
// Whatever the command line prints (names from a PPD or a print server, file
// names, the reasons of other programs) may hold control characters, and a
// terminal takes some of them for commands: ESC and CSI start sequences
// that move the cursor, recolour the screen or set the window title.
// TerminalSafeBuf sits in front of the real output and writes each one as
// "\xHH" instead: C0 controls except line feed and tab, DEL, and the C1
// controls U+0080 to U+009F (HH is the ISO 8859-1 byte) whether they come
// UTF-8 encoded or as lone bytes. All other text passes unchanged, so JSON
// and UTF-8 stay as they are.
#pragma once

#include <streambuf>
#include <string_view>

namespace tonalis::cli {

class TerminalSafeBuf : public std::streambuf {
 public:
  explicit TerminalSafeBuf(std::streambuf* target) : target_(target) {}
  ~TerminalSafeBuf() override;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool Put(std::string_view text);
  bool PutByte(unsigned char byte);  // escaped when it is a control on its own
  bool FlushPending();                // an unfinished UTF-8 sequence, byte by byte

  std::streambuf* target_;
  char pending_[4] = {};  // the UTF-8 sequence being read
  int pendingLength_ = 0;
  int expected_ = 0;  // continuation bytes it still takes
};

}  // namespace tonalis::cli
