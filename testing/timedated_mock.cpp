#include "testing/timedated_mock.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace horalux::testing {

namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 15s;
constexpr auto kStopGrace = 2s;

constexpr const char* kMockName = "org.freedesktop.timedate1";
constexpr const char* kMockPath = "/org/freedesktop/timedate1";
constexpr const char* kMockControl = "org.freedesktop.DBus.Mock";
constexpr const char* kPolkitName = "org.freedesktop.PolicyKit1";
constexpr const char* kPolkitPath = "/org/freedesktop/PolicyKit1/Authority";
constexpr const char* kPolkitInterface = "org.freedesktop.PolicyKit1.Authority";

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

[[noreturn]] void Fail(const std::string& what, const std::string& log_path) {
  throw std::runtime_error(what + "\n--- " + log_path + " ---\n" + ReadFile(log_path));
}

// This process's environment, with `assignment` ("NAME=value") in place of any NAME it held.
std::vector<std::string> CurrentEnvironment(const std::string& assignment = {}) {
  std::vector<std::string> environment;
  const std::string name = assignment.substr(0, assignment.find('=') + 1);
  for (char** entry = ::environ; *entry != nullptr; ++entry) {
    if (!name.empty() && std::string_view(*entry).starts_with(name)) continue;
    environment.emplace_back(*entry);
  }
  if (!assignment.empty()) environment.push_back(assignment);
  return environment;
}

std::string MakeTemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "horalux-bus-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
  }
  return pattern;
}

// A system-type bus that lets anyone own any name and call anything: the mock needs to own
// timedated's name, and the code under test needs to call it as an ordinary client would.
std::string SystemBusConfiguration(const std::string& socket_path) {
  return R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=)" +
         socket_path + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
  </policy>
</busconfig>
)";
}

// Reads the address dbus-daemon prints once it listens.
std::string ReadAddressLine(int fd, const std::string& log_path) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left <= 0ms) Fail("dbus-daemon did not print its address in time", log_path);
    pollfd ready{fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) continue;
    char buffer[256];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) Fail("dbus-daemon exited before it printed its address", log_path);
    line.append(buffer, static_cast<std::size_t>(count));
  }
  return line.substr(0, line.find('\n'));
}

BusHandle ConnectTo(const std::string& address) {
  sd_bus* raw = nullptr;
  int result = sd_bus_new(&raw);
  BusHandle bus(raw);
  if (result >= 0) result = sd_bus_set_address(bus.get(), address.c_str());
  if (result >= 0) result = sd_bus_set_bus_client(bus.get(), 1);
  if (result >= 0) result = sd_bus_start(bus.get());
  if (result < 0) {
    throw std::runtime_error("cannot connect to " + address + ": " + std::strerror(-result));
  }
  return bus;
}

BusHandle ConnectMonitor(const std::string& address, const std::string& match_rule) {
  sd_bus* raw = nullptr;
  int result = sd_bus_new(&raw);
  BusHandle bus(raw);
  if (result >= 0) result = sd_bus_set_address(bus.get(), address.c_str());
  if (result >= 0) result = sd_bus_set_bus_client(bus.get(), 1);
  if (result >= 0) result = sd_bus_set_monitor(bus.get(), 1);
  if (result >= 0) result = sd_bus_start(bus.get());
  if (result < 0) {
    throw std::runtime_error("cannot connect a monitor to " + address + ": " +
                             std::strerror(-result));
  }
  BusError error;
  result = sd_bus_call_method(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus.Monitoring", "BecomeMonitor", error.get(),
                              nullptr, "asu", 1, match_rule.c_str(), 0u);
  if (result < 0) {
    throw std::runtime_error(std::string("BecomeMonitor failed: ") + error.name() + " " +
                             error.message());
  }
  return bus;
}

bool NameHasOwner(sd_bus* bus, const char* name) {
  BusError error;
  sd_bus_message* raw_reply = nullptr;
  const int result = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                        "org.freedesktop.DBus", "NameHasOwner", error.get(),
                                        &raw_reply, "s", name);
  MessageHandle reply(raw_reply);
  if (result < 0) {
    throw std::runtime_error(std::string("NameHasOwner failed: ") + error.name() + " " +
                             error.message());
  }
  int has_owner = 0;
  if (sd_bus_message_read(reply.get(), "b", &has_owner) < 0) {
    throw std::runtime_error("NameHasOwner: unexpected reply");
  }
  return has_owner != 0;
}

void Check(int result, const char* what) {
  if (result < 0) throw std::runtime_error(std::string(what) + ": " + std::strerror(-result));
}

// Whether the container being read has another element.
bool HasMore(sd_bus_message* message) {
  const int peeked = sd_bus_message_peek_type(message, nullptr, nullptr);
  Check(peeked, "peek");
  return peeked > 0;
}

// Waits until a dbusmock started as `mock` owns `name`.
void AwaitName(sd_bus* control, const char* name, ChildProcess& mock, const std::string& log_path) {
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!NameHasOwner(control, name)) {
    if (mock.has_exited())
      Fail(std::string("the mock of ") + name + " exited before it took its name", log_path);
    if (std::chrono::steady_clock::now() > deadline) {
      Fail(std::string("the mock of ") + name + " did not take its name in time", log_path);
    }
    std::this_thread::sleep_for(20ms);
  }
}

// The mock's record of calls to `method`: (timestamp, arguments) each.
MessageHandle GetMethodCalls(sd_bus* control, const char* name, const char* path,
                             const char* method, const std::string& log_path) {
  BusError error;
  sd_bus_message* raw_reply = nullptr;
  const int result = sd_bus_call_method(control, name, path, kMockControl, "GetMethodCalls",
                                        error.get(), &raw_reply, "s", method);
  MessageHandle reply(raw_reply);
  if (result < 0) {
    Fail(std::string("GetMethodCalls failed: ") + error.name() + " " + error.message(), log_path);
  }
  return reply;
}

void AddMethod(sd_bus* control, const char* name, const char* path, const char* interface,
               const char* method, const char* in_signature, const char* out_signature,
               const std::string& code, const std::string& log_path) {
  BusError error;
  const int result =
      sd_bus_call_method(control, name, path, kMockControl, "AddMethod", error.get(), nullptr,
                         "sssss", interface, method, in_signature, out_signature, code.c_str());
  if (result < 0) {
    Fail(std::string("AddMethod failed: ") + error.name() + " " + error.message(), log_path);
  }
}

// Text as a Python string literal; the tests' texts hold no control characters.
std::string PythonString(std::string_view text) {
  std::string literal = "'";
  for (const char c : text) {
    if (c == '\\' || c == '\'') literal += '\\';
    literal += c;
  }
  return literal + "'";
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment, const std::string& log_path,
                           int extra_fd) {
  // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
  std::vector<char*> arguments;
  for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  std::vector<char*> variables;
  for (const auto& variable : environment) variables.push_back(const_cast<char*>(variable.c_str()));
  variables.push_back(nullptr);
  const int log = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (log < 0) throw std::runtime_error("open " + log_path + ": " + std::strerror(errno));
  const pid_t parent = ::getpid();

  pid_ = ::fork();
  if (pid_ < 0) {
    const int error = errno;
    ::close(log);
    throw std::runtime_error(std::string("fork: ") + std::strerror(error));
  }
  if (pid_ == 0) {
    // Should the test process die without running destructors, the kernel ends the child.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int null = ::open("/dev/null", O_RDONLY);
    if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0) ::_exit(127);
    if (extra_fd >= 0 && ::dup2(extra_fd, 3) < 0) ::_exit(127);
    ::execve(arguments[0], arguments.data(), variables.data());
    ::_exit(127);
  }
  ::close(log);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Stop();
    pid_ = std::exchange(other.pid_, -1);
  }
  return *this;
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::has_exited() {
  if (pid_ < 0) return true;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return true;
  }
  return false;
}

void ChildProcess::Stop() noexcept {
  if (pid_ < 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(5ms);
  }
  pid_ = -1;
}

PrivateSystemBus::PrivateSystemBus() : directory_(MakeTemporaryDirectory()) {
  try {
    const std::string config_path = directory_ + "/system.conf";
    const std::string log_path = directory_ + "/dbus-daemon.log";
    std::ofstream(config_path) << SystemBusConfiguration(directory_ + "/system_bus_socket");

    int address_pipe[2];
    if (::pipe2(address_pipe, O_CLOEXEC) != 0) {
      throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    }
    try {
      daemon_ = ChildProcess({"/usr/bin/dbus-daemon", "--config-file=" + config_path, "--nofork",
                              "--nopidfile", "--print-address=3"},
                             CurrentEnvironment(), log_path, address_pipe[1]);
    } catch (...) {
      ::close(address_pipe[0]);
      ::close(address_pipe[1]);
      throw;
    }
    ::close(address_pipe[1]);
    try {
      address_ = ReadAddressLine(address_pipe[0], log_path);
    } catch (...) {
      ::close(address_pipe[0]);
      throw;
    }
    ::close(address_pipe[0]);
  } catch (...) {
    daemon_.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    throw;
  }
}

PrivateSystemBus::~PrivateSystemBus() {
  daemon_.Stop();
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

CallMonitor::CallMonitor(const std::string& address, const std::string& match_rule)
    : bus_(ConnectMonitor(address, match_rule)) {}

void CallMonitor::Drain() {
  while (true) {
    sd_bus_message* raw = nullptr;
    const int result = sd_bus_process(bus_.get(), &raw);
    MessageHandle message(raw);
    Check(result, "monitor");
    std::uint8_t type = 0;
    if (message && sd_bus_message_get_type(message.get(), &type) >= 0 &&
        type == SD_BUS_MESSAGE_METHOD_CALL) {
      calls_.push_back(std::move(message));
    }
    if (result == 0) break;
  }
}

const std::vector<MessageHandle>& CallMonitor::Calls(std::size_t expected) {
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  Drain();
  while (calls_.size() < expected && std::chrono::steady_clock::now() < deadline) {
    Check(sd_bus_wait(bus_.get(), 50'000), "wait for the monitor");
    Drain();
  }
  for (const auto& call : calls_) Check(sd_bus_message_rewind(call.get(), 1), "rewind");
  return calls_;
}

void CallMonitor::Clear() {
  Drain();
  calls_.clear();
}

TimedatedMock::TimedatedMock(const PrivateSystemBus& bus)
    : log_path_(bus.directory() + "/timedated-mock.log"),
      mock_({"/usr/bin/python3", "-m", "dbusmock", "--template", "timedated"},
            CurrentEnvironment("DBUS_SYSTEM_BUS_ADDRESS=" + bus.address()), log_path_),
      control_(ConnectTo(bus.address())),
      monitor_(bus.address(),
               "type='method_call',interface='org.freedesktop.timedate1',member='SetTime'") {
  AwaitName(control_.get(), kMockName, mock_, log_path_);
}

TimedatedMock::~TimedatedMock() {
  control_.reset();
  mock_.Stop();
}

std::vector<SetTimeCall> TimedatedMock::SetTimeCalls() {
  const MessageHandle reply =
      GetMethodCalls(control_.get(), kMockName, kMockPath, "SetTime", log_path_);
  std::vector<SetTimeCall> calls;
  sd_bus_message* message = reply.get();
  Check(sd_bus_message_enter_container(message, 'a', "(tav)"), "enter a(tav)");
  while (true) {
    const int entered = sd_bus_message_enter_container(message, 'r', "tav");
    Check(entered, "enter (tav)");
    if (entered == 0) break;
    std::uint64_t timestamp = 0;
    Check(sd_bus_message_read(message, "t", &timestamp), "read timestamp");
    Check(sd_bus_message_enter_container(message, 'a', "v"), "enter av");
    SetTimeCall call;
    for (int index = 0;; ++index) {
      char type = 0;
      const char* contents = nullptr;
      const int peeked = sd_bus_message_peek_type(message, &type, &contents);
      Check(peeked, "peek argument");
      if (peeked == 0) break;
      Check(sd_bus_message_enter_container(message, 'v', contents), "enter v");
      if (index == 0 && std::string_view(contents) == "x") {
        Check(sd_bus_message_read(message, "x", &call.usec_utc), "read usec");
      } else if (index > 0 && std::string_view(contents) == "b") {
        int flag = 0;
        Check(sd_bus_message_read(message, "b", &flag), "read flag");
        (index == 1 ? call.relative : call.interactive) = flag != 0;
      } else {
        throw std::runtime_error(std::string("SetTime argument of unexpected type ") + contents);
      }
      Check(sd_bus_message_exit_container(message), "exit v");
    }
    Check(sd_bus_message_exit_container(message), "exit av");
    Check(sd_bus_message_exit_container(message), "exit (tav)");
    calls.push_back(call);
  }
  Check(sd_bus_message_exit_container(message), "exit a(tav)");

  const auto& seen = monitor_.Calls(calls.size());
  if (seen.size() != calls.size()) {
    Fail("the monitor saw " + std::to_string(seen.size()) + " SetTime calls, the mock " +
             std::to_string(calls.size()),
         log_path_);
  }
  for (std::size_t i = 0; i < calls.size(); ++i) {
    calls[i].allows_interactive_authorization =
        sd_bus_message_get_allow_interactive_authorization(seen[i].get()) > 0;
  }
  return calls;
}

void TimedatedMock::ClearCalls() {
  BusError error;
  const int result = sd_bus_call_method(control_.get(), kMockName, kMockPath, kMockControl,
                                        "ClearCalls", error.get(), nullptr, "");
  if (result < 0) Fail(std::string("ClearCalls failed: ") + error.name(), log_path_);
  monitor_.Clear();
}

void TimedatedMock::FailSetTime(std::string_view error_name, std::string_view message) {
  AddMethod(control_.get(), kMockName, kMockPath, "org.freedesktop.timedate1", "SetTime", "xbb", "",
            "raise dbus.exceptions.DBusException(" + PythonString(message) +
                ", name=" + PythonString(error_name) + ")",
            log_path_);
}

PolkitMock::PolkitMock(const PrivateSystemBus& bus)
    : log_path_(bus.directory() + "/polkit-mock.log"),
      mock_({"/usr/bin/python3", "-m", "dbusmock", "--template", "polkitd"},
            CurrentEnvironment("DBUS_SYSTEM_BUS_ADDRESS=" + bus.address()), log_path_),
      control_(ConnectTo(bus.address())),
      monitor_(bus.address(),
               "type='method_call',interface='org.freedesktop.PolicyKit1.Authority',"
               "member='CheckAuthorization'") {
  AwaitName(control_.get(), kPolkitName, mock_, log_path_);
  // The template's own method keeps no record of its calls; one added through the mock does.
  Answer(false, false, {});
}

PolkitMock::~PolkitMock() {
  control_.reset();
  mock_.Stop();
}

void PolkitMock::Answer(bool authorized, bool challenge,
                        const std::map<std::string, std::string>& details,
                        std::chrono::milliseconds delay) {
  std::string code = "time.sleep(" + std::to_string(delay.count() / 1000.0) + ")\nret = (" +
                     (authorized ? "True" : "False") + ", " + (challenge ? "True" : "False") +
                     ", {";
  for (const auto& [key, value] : details)
    code += PythonString(key) + ": " + PythonString(value) + ", ";
  code += "})";
  AddMethod(control_.get(), kPolkitName, kPolkitPath, kPolkitInterface, "CheckAuthorization",
            "(sa{sv})sa{ss}us", "(bba{ss})", code, log_path_);
}

std::vector<CheckAuthorizationCall> PolkitMock::Calls() {
  const MessageHandle record =
      GetMethodCalls(control_.get(), kPolkitName, kPolkitPath, "CheckAuthorization", log_path_);
  std::size_t recorded = 0;
  Check(sd_bus_message_enter_container(record.get(), 'a', "(tav)"), "enter a(tav)");
  while (HasMore(record.get())) {
    Check(sd_bus_message_skip(record.get(), "(tav)"), "skip (tav)");
    ++recorded;
  }

  std::vector<CheckAuthorizationCall> calls;
  for (const auto& seen : monitor_.Calls(recorded)) {
    sd_bus_message* message = seen.get();
    CheckAuthorizationCall call;
    if (const char* sender = sd_bus_message_get_sender(message)) call.sender = sender;
    const char* text = nullptr;
    Check(sd_bus_message_enter_container(message, 'r', "sa{sv}"), "enter subject");
    Check(sd_bus_message_read(message, "s", &text), "read subject kind");
    call.subject_kind = text;
    Check(sd_bus_message_enter_container(message, 'a', "{sv}"), "enter subject details");
    while (true) {
      const int entered = sd_bus_message_enter_container(message, 'e', "sv");
      Check(entered, "enter subject detail");
      if (entered == 0) break;
      const char* key = nullptr;
      Check(sd_bus_message_read(message, "s", &key), "read subject detail key");
      if (std::string_view(key) == "name") {
        Check(sd_bus_message_read(message, "v", "s", &text), "read subject name");
        call.subject_name = text;
      } else {
        Check(sd_bus_message_skip(message, "v"), "skip subject detail");
      }
      Check(sd_bus_message_exit_container(message), "exit subject detail");
    }
    Check(sd_bus_message_exit_container(message), "exit subject details");
    Check(sd_bus_message_exit_container(message), "exit subject");
    Check(sd_bus_message_read(message, "s", &text), "read action");
    call.action_id = text;
    Check(sd_bus_message_enter_container(message, 'a', "{ss}"), "enter details");
    while (HasMore(message)) {
      Check(sd_bus_message_skip(message, "{ss}"), "skip detail");
      ++call.details;
    }
    Check(sd_bus_message_exit_container(message), "exit details");
    Check(sd_bus_message_read(message, "us", &call.flags, &text), "read flags and cancellation id");
    call.cancellation_id = text;
    calls.push_back(std::move(call));
  }
  return calls;
}

}  // namespace horalux::testing
