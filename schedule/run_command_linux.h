// Linux only: runs a system command (systemctl, journalctl) to its end, with what it printed.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace horalux {

struct CommandResult {
  int exit_status = 0;  // 128 + the signal's number where a signal ended it
  std::string output;   // standard output and standard error, interleaved
};

// Runs `arguments` (the program, looked up on PATH where it names no folder, then its arguments),
// with standard input from /dev/null. Raises ErrorKind::kSystem where it cannot be started, and
// ErrorKind::kTimeout, after ending it, where it is still running after `limit`.
CommandResult RunCommand(const std::vector<std::string>& arguments, std::chrono::seconds limit);

}  // namespace horalux
