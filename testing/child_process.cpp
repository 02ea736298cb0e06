#include "testing/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace horalux::testing {

namespace {

using namespace std::chrono_literals;

// Long enough for a child to stop what it started (a bus, a service) before it is made to go.
constexpr auto kStopGrace = 5s;

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& assignments) {
  std::vector<std::string> environment;
  for (char** entry = ::environ; *entry != nullptr; ++entry) {
    const std::string_view variable(*entry);
    const std::string_view name = variable.substr(0, variable.find('=') + 1);
    bool replaced = false;
    for (const auto& assignment : assignments) replaced |= assignment.starts_with(name);
    if (!replaced) environment.emplace_back(variable);
  }
  environment.insert(environment.end(), assignments.begin(), assignments.end());
  return environment;
}

std::vector<char*> NullTerminated(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Whether `pid` ended within `timeout`; reaps it if so.
bool Reaped(pid_t pid, std::chrono::steady_clock::duration timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (true) {
    const pid_t waited = ::waitpid(pid, &status, WNOHANG);
    if (waited == pid || (waited < 0 && errno != EINTR)) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& log_path,
                           const std::vector<std::string>& assignments) {
  // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
  std::vector<std::string> arguments_text = argv;
  std::vector<std::string> environment_text = EnvironmentWith(assignments);
  const std::vector<char*> arguments = NullTerminated(arguments_text);
  const std::vector<char*> environment = NullTerminated(environment_text);
  const FileDescriptor log(
      ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (log.get() < 0) throw std::runtime_error("open " + log_path + ": " + std::strerror(errno));
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    throw std::runtime_error(std::string("socketpair: ") + std::strerror(errno));
  }
  FileDescriptor ours(ends[0]);
  const FileDescriptor theirs(ends[1]);
  const pid_t parent = ::getpid();

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid_ == 0) {
    // Should the test process die without running destructors, the child is told to stop.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    if (::dup2(theirs.get(), 0) < 0 || ::dup2(theirs.get(), 1) < 0 || ::dup2(log.get(), 2) < 0) {
      ::_exit(127);
    }
    ::execve(arguments[0], arguments.data(), environment.data());
    ::_exit(127);
  }
  channel_ = std::move(ours);
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::WriteLine(const std::string& text) {
  const std::string line = text + "\n";
  for (std::size_t sent = 0; sent < line.size();) {
    // Not a write(): a child gone would end the test process with SIGPIPE.
    const ssize_t count =
        ::send(channel_.get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t end = unread_.find('\n');
  while (end == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left <= 0ms) return std::nullopt;
    pollfd ready{channel_.get(), POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno != EINTR) return std::nullopt;
    if (polled <= 0) continue;  // interrupted, or the time is up
    char buffer[256];
    const ssize_t count = ::read(channel_.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return std::nullopt;
    unread_.append(buffer, static_cast<std::size_t>(count));
    end = unread_.find('\n');
  }
  std::string line = unread_.substr(0, end);
  unread_.erase(0, end + 1);
  return line;
}

void ChildProcess::Stop() noexcept {
  if (pid_ < 0) return;
  channel_.reset();
  if (!Reaped(pid_, kStopGrace)) {
    ::kill(pid_, SIGTERM);
    if (!Reaped(pid_, kStopGrace)) {
      ::kill(pid_, SIGKILL);
      Reaped(pid_, kStopGrace);
    }
  }
  pid_ = -1;
}

}  // namespace horalux::testing
