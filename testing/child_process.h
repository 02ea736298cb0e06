// A child process a test talks to in lines, on one socket that is the child's standard input and
// output; its standard error goes to a log. The end of its input is its sign to stop. It goes
// with its owner, and with the test process should that die first.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "testing/file_descriptor.h"

namespace horalux::testing {

class ChildProcess {
 public:
  // Runs `argv` with this process's environment, in which each of `assignments` ("NAME=value")
  // takes the place of any NAME it held, and appends its standard error to `log_path`.
  ChildProcess(const std::vector<std::string>& argv, const std::string& log_path,
               const std::vector<std::string>& assignments = {});
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Sends the child `text` and a line end; false if it has gone.
  bool WriteLine(const std::string& text);
  // The next line the child writes, without its end, or nothing should it end its output or
  // `timeout` pass first.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);

  // Closes its input and waits for it to end; should it not, SIGTERM, and at last SIGKILL.
  void Stop() noexcept;

 private:
  pid_t pid_ = -1;
  FileDescriptor channel_;  // our end of its standard input and output
  std::string unread_;      // what it wrote after the last line read
};

}  // namespace horalux::testing
