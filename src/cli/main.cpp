// tonalis-cli: the command-line front end. The commands live in their own
// files and register themselves (see commands.h).
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "platform/file_replace.h"
#include "platform/libcups.h"

int main(int argc, char** argv) {
  tonalis::IgnoreFileSizeSignal();
  try {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Names and messages from files and print servers reach a terminal.
    tonalis::cli::TerminalSafeBuf safeOut(std::cout.rdbuf()), safeErr(std::cerr.rdbuf());
    std::ostream out(&safeOut), err(&safeErr);
    err.setf(std::ios::unitbuf);
    const int status = tonalis::cli::RunCli(args, std::cin, out, err);
    out.flush();
    std::cout.flush();
    if (!out || !std::cout) {
      std::cerr << tonalis::cli::kProgram << ": the output could not be written\n";
      return tonalis::cli::kExitFailure;
    }
    return status;
  } catch (const std::bad_alloc&) {
    // Whatever was being written is left as it was: files are replaced
    // whole, never changed in place.
    std::cerr << tonalis::cli::kProgram << ": out of memory\n";
    return tonalis::cli::kExitFailure;
  } catch (const tonalis::libcups::LibcupsUnavailable& e) {
    // The printing library could not be loaded (a broken installation, or
    // no memory left to map it); nothing was written without it.
    std::cerr << tonalis::cli::kProgram << ": " << e.what() << '\n';
    return tonalis::cli::kExitFailure;
  }
}
