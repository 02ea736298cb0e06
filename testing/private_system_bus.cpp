#include "testing/private_system_bus.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace horalux::testing {

namespace {

using namespace std::chrono_literals;

// How long the bus, or a template on it, may take to start on a loaded machine.
constexpr auto kStartTimeout = 30s;
// How long a monitor waits for the copies of calls the service has already answered.
constexpr auto kCopyTimeout = 2s;

BusHandle ConnectTo(const std::string& address, bool as_monitor) {
  sd_bus* raw = nullptr;
  int result = sd_bus_new(&raw);
  BusHandle bus(raw);
  if (result >= 0) result = sd_bus_set_address(bus.get(), address.c_str());
  if (result >= 0) result = sd_bus_set_bus_client(bus.get(), 1);
  if (result >= 0 && as_monitor) result = sd_bus_set_monitor(bus.get(), 1);
  if (result >= 0) result = sd_bus_start(bus.get());
  if (result < 0) {
    throw std::runtime_error("cannot connect to " + address + ": " + std::strerror(-result));
  }
  return bus;
}

}  // namespace

void FailWithLog(const std::string& what, const std::string& log_path) {
  std::ifstream log(log_path);
  throw std::runtime_error(what + "\n--- " + log_path + " ---\n" +
                           std::string(std::istreambuf_iterator<char>(log), {}));
}

void CheckBusResult(int result, const char* what) {
  if (result < 0) throw std::runtime_error(std::string(what) + ": " + std::strerror(-result));
}

PrivateSystemBus::PrivateSystemBus()
    : directory_("horalux-bus-"),
      log_path_(directory_.path() + "/system-bus.log"),
      launcher_({"/usr/bin/python3", HORALUX_DBUS_STAND_INS, "system-bus"}, log_path_) {
  const auto address = launcher_.ReadLine(kStartTimeout);
  if (!address) FailWithLog("the private system bus did not start", log_path_);
  address_ = *address;
}

void PrivateSystemBus::StartTemplate(const std::string& template_name) {
  if (!Ask("start " + template_name)) {
    FailWithLog("python3-dbusmock's " + template_name + " did not start", log_path_);
  }
}

void PrivateSystemBus::StopTemplate(const std::string& template_name) noexcept {
  try {
    Ask("stop " + template_name);
  } catch (...) {
    // Whatever is left goes with the bus.
  }
}

bool PrivateSystemBus::Ask(const std::string& command) {
  return launcher_.WriteLine(command) && launcher_.ReadLine(kStartTimeout) == "done";
}

BusHandle PrivateSystemBus::Connect() const { return ConnectTo(address_, false); }

CallMonitor::CallMonitor(const PrivateSystemBus& bus, const std::string& match_rule)
    : bus_(ConnectTo(bus.address(), true)) {
  BusError error;
  const int result = sd_bus_call_method(bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                        "org.freedesktop.DBus.Monitoring", "BecomeMonitor",
                                        error.get(), nullptr, "asu", 1, match_rule.c_str(), 0u);
  if (result < 0) {
    throw std::runtime_error(std::string("BecomeMonitor failed: ") + error.name() + " " +
                             error.message());
  }
}

void CallMonitor::Drain() {
  while (true) {
    sd_bus_message* raw = nullptr;
    const int result = sd_bus_process(bus_.get(), &raw);
    MessageHandle message(raw);
    CheckBusResult(result, "monitor");
    std::uint8_t type = 0;
    if (message && sd_bus_message_get_type(message.get(), &type) >= 0 &&
        type == SD_BUS_MESSAGE_METHOD_CALL) {
      calls_.push_back(std::move(message));
    }
    if (result == 0) break;
  }
}

const std::vector<MessageHandle>& CallMonitor::Calls(std::size_t expected) {
  const auto deadline = std::chrono::steady_clock::now() + kCopyTimeout;
  Drain();
  while (calls_.size() < expected && std::chrono::steady_clock::now() < deadline) {
    CheckBusResult(sd_bus_wait(bus_.get(), 50'000), "wait for the monitor");
    Drain();
  }
  for (const auto& call : calls_) CheckBusResult(sd_bus_message_rewind(call.get(), 1), "rewind");
  return calls_;
}

void CallMonitor::Clear() {
  Drain();
  calls_.clear();
}

}  // namespace horalux::testing
