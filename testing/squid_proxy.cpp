#include "testing/squid_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "testing/loopback_socket.h"

namespace horalux::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUser = "user";
constexpr const char* kPassword = "secret";

// The line of an htpasswd file for the user, as basic_ncsa_auth reads it (Apache's MD5).
std::string HtpasswdLine() {
  const std::string command = std::string("openssl passwd -apr1 ") + kPassword;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  std::array<char, 256> hash{};
  const bool read = std::fgets(hash.data(), hash.size(), pipe) != nullptr;
  ::pclose(pipe);
  if (!read) throw std::runtime_error(command + " printed nothing");
  return std::string(kUser) + ":" + hash.data();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
  // squid drops root for the "proxy" user, who must read its helpers' files.
  ::chmod(path.c_str(), 0644);
}

// testing/squid_test.conf.in with its names filled in.
std::string Configuration(SquidProxy::Logon logon, const std::string& directory,
                          std::uint16_t port) {
  std::ifstream file(HORALUX_SQUID_TEMPLATE);
  std::ostringstream text;
  text << file.rdbuf();
  std::string conf = text.str();
  const bool basic = logon == SquidProxy::Logon::kBasic;
  const std::pair<std::string, std::string> names[] = {
      {"@PORT@", std::to_string(port)},
      {"@DIRECTORY@", directory},
      {"@SCHEME@", basic ? "basic" : "digest"},
      {"@HELPER@", basic ? "/usr/lib/squid/basic_ncsa_auth" : "/usr/lib/squid/digest_file_auth"},
  };
  for (const auto& [name, value] : names) {
    for (std::size_t at = conf.find(name); at != std::string::npos; at = conf.find(name, at)) {
      conf.replace(at, name.size(), value);
      at += value.size();
    }
  }
  return conf;
}

bool TakesConnections(std::uint16_t port) {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(probe);
  return connected;
}

}  // namespace

SquidProxy::SquidProxy(Logon logon) : port_(UnusedLoopbackPort()) {
  const std::string& dir = directory_.path();
  ::chmod(dir.c_str(), 0777);
  // basic_ncsa_auth reads a hash, digest_file_auth the password itself.
  Write(dir + "/passwords", logon == Logon::kBasic ? HtpasswdLine() + "\n"
                                                   : std::string(kUser) + ":" + kPassword + "\n");
  Write(dir + "/squid.conf", Configuration(logon, dir, port_));
  // squid in the foreground, ended by the shell once the end of its input says to stop, and
  // killed should the shell go first.
  squid_.emplace(
      std::vector<std::string>{"/bin/sh", "-c",
                               "setpriv --pdeathsig KILL /usr/sbin/squid -N -f \"$1\" </dev/null &"
                               " read _; kill $!; wait",
                               "sh", dir + "/squid.conf"},
      dir + "/stderr.log");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!TakesConnections(port_)) {
    if (std::chrono::steady_clock::now() > deadline) {
      std::ifstream log(dir + "/cache.log");
      std::ostringstream text;
      text << log.rdbuf();
      throw std::runtime_error("squid did not start: " + text.str());
    }
    std::this_thread::sleep_for(50ms);
  }
}

std::string SquidProxy::Url(const std::string& password) const {
  const std::string at = "127.0.0.1:" + std::to_string(port_);
  if (password.empty()) return "http://" + at;
  return std::string("http://") + kUser + ":" + password + "@" + at;
}

}  // namespace horalux::testing
