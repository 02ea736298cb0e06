#include "testing/dbus_mock.h"

#include <utility>

namespace horalux::testing {

namespace {

constexpr const char* kControlInterface = "org.freedesktop.DBus.Mock";

}  // namespace

std::string PythonString(std::string_view text) {
  std::string literal = "'";
  for (const char c : text) {
    if (c == '\\' || c == '\'') literal += '\\';
    literal += c;
  }
  return literal + "'";
}

DbusMock::DbusMock(PrivateSystemBus& bus, std::string template_name, std::string bus_name,
                   std::string object_path)
    : bus_(bus),
      template_name_(std::move(template_name)),
      bus_name_(std::move(bus_name)),
      object_path_(std::move(object_path)),
      control_(bus.Connect()) {
  bus_.StartTemplate(template_name_);
}

DbusMock::~DbusMock() {
  control_.reset();
  bus_.StopTemplate(template_name_);
}

void DbusMock::AddMethod(const char* interface, const char* method, const char* in_signature,
                         const char* out_signature, const std::string& code) {
  Call(kControlInterface, "AddMethod", "sssss", interface, method, in_signature, out_signature,
       code.c_str());
}

MessageHandle DbusMock::GetMethodCalls(const char* method) {
  return Call(kControlInterface, "GetMethodCalls", "s", method);
}

void DbusMock::ClearCalls() { Call(kControlInterface, "ClearCalls", ""); }

}  // namespace horalux::testing
