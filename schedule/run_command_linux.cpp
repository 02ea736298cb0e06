#include "schedule/run_command_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/base/error.h"

extern char** environ;

namespace horalux {
namespace {

class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Reset(); }
  int get() const { return fd_; }
  void Reset() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

class SpawnActions {
 public:
  SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

int StatusOf(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  return 128 + (WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0);
}

int Reap(pid_t pid) {
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
  }
  return StatusOf(wait_status);
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& arguments, std::chrono::seconds limit) {
  const std::string& program = arguments.at(0);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    throw SystemError(ErrorKind::kSystem, errno, "无法为 " + program + " 建立管道");
  }
  Descriptor read_end(ends[0]);
  Descriptor write_end(ends[1]);
  SpawnActions actions;
  ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(actions.get(), write_end.get(), 1);
  ::posix_spawn_file_actions_adddup2(actions.get(), write_end.get(), 2);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, program.c_str(), actions.get(), nullptr, argv.data(), environ);
  if (spawned != 0) {
    throw SystemError(ErrorKind::kSystem, spawned, "无法运行 " + program);
  }
  write_end.Reset();

  CommandResult result;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd readable{read_end.get(), POLLIN, 0};
    const int ready = left.count() > 0 ? ::poll(&readable, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      ::kill(pid, SIGKILL);
      Reap(pid);
      throw Error(ErrorKind::kTimeout,
                  program + " 在 " + std::to_string(limit.count()) + " 秒内没有结束，已终止它");
    }
    char buffer[4096];
    const ssize_t got = ::read(read_end.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(got));
  }
  result.exit_status = Reap(pid);
  return result;
}

}  // namespace horalux
