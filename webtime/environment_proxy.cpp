#include "webtime/environment_proxy.h"

#include <cstdint>
#include <cstdlib>

#include "runtime/base/text.h"
#include "webtime/response_headers.h"

namespace horalux {
namespace {

std::optional<std::string> NonEmpty(const EnvironmentLookup& environment, const char* name) {
  std::optional<std::string> value = environment(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

std::string_view WithoutBrackets(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    return host.substr(1, host.size() - 2);
  }
  return host;
}

// A dotted IPv4 address as a number; nothing for any other text.
std::optional<std::uint32_t> Ipv4(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t end = part < 3 ? text.find('.') : text.size();
    if (end == 0 || end == std::string_view::npos || end > 3) return std::nullopt;
    const std::optional<int> value = ParseDigits(text, 0, end);
    if (!value || *value > 255) return std::nullopt;
    address = (address << 8) | static_cast<std::uint32_t>(*value);
    text.remove_prefix(part < 3 ? end + 1 : end);
  }
  return address;
}

bool MatchesEntry(std::string_view entry, std::string_view host) {
  if (entry == "*") return true;
  if (const std::optional<std::uint32_t> address = Ipv4(host)) {
    const std::size_t slash = entry.find('/');
    const std::optional<std::uint32_t> network = Ipv4(entry.substr(0, slash));
    if (!network) return false;
    int bits = 32;
    if (slash != std::string_view::npos) {
      const std::string_view length = entry.substr(slash + 1);
      const std::optional<int> parsed = length.empty() || length.size() > 2
                                            ? std::nullopt
                                            : ParseDigits(length, 0, length.size());
      if (!parsed || *parsed > 32) return false;
      bits = *parsed;
    }
    const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
    return (*address & mask) == (*network & mask);
  }
  entry = WithoutBrackets(entry);
  if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
  if (entry.empty()) return false;
  if (entry.size() == host.size()) return EqualsIgnoringCase(entry, host);
  return entry.size() < host.size() && host[host.size() - entry.size() - 1] == '.' &&
         EqualsIgnoringCase(host.substr(host.size() - entry.size()), entry);
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
  // Read only: nothing in the program sets the environment while it runs.
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool BypassesProxy(std::string_view list, std::string_view host) {
  host = WithoutBrackets(host);
  while (!host.empty() && host.back() == '.') host.remove_suffix(1);
  constexpr std::string_view kSeparators = ", \t";
  for (std::size_t start = list.find_first_not_of(kSeparators); start != std::string_view::npos;
       start = list.find_first_not_of(kSeparators, start)) {
    const std::size_t end = std::min(list.find_first_of(kSeparators, start), list.size());
    if (MatchesEntry(list.substr(start, end - start), host)) return true;
    start = end;
  }
  return false;
}

std::optional<std::string> EnvironmentProxyFor(std::string_view scheme, std::string_view host,
                                               const EnvironmentLookup& environment) {
  std::optional<std::string> bypass = NonEmpty(environment, "no_proxy");
  if (!bypass) bypass = NonEmpty(environment, "NO_PROXY");
  if (bypass && BypassesProxy(*bypass, host)) return std::string();
  const bool secure = scheme == "https";
  std::optional<std::string> proxy = NonEmpty(environment, secure ? "https_proxy" : "http_proxy");
  if (!proxy && secure) proxy = NonEmpty(environment, "HTTPS_PROXY");
  if (!proxy) proxy = NonEmpty(environment, "all_proxy");
  if (!proxy) proxy = NonEmpty(environment, "ALL_PROXY");
  return proxy;
}

ProxyName NameProxy(std::string_view proxy_url) {
  std::string_view scheme = "http";
  if (const std::size_t colon = proxy_url.find("://"); colon != std::string_view::npos) {
    scheme = proxy_url.substr(0, colon);
    proxy_url.remove_prefix(colon + 3);
  }
  proxy_url = proxy_url.substr(0, proxy_url.find_first_of("/?#"));
  ProxyName name;
  if (const std::size_t at = proxy_url.rfind('@'); at != std::string_view::npos) {
    name.has_credentials = at > 0;
    proxy_url.remove_prefix(at + 1);
  }
  name.address = std::string(proxy_url);
  // A port follows the last colon, unless that colon is inside an IPv6 address's brackets.
  const std::size_t colon = proxy_url.rfind(':');
  const bool has_port =
      colon != std::string_view::npos &&
      (proxy_url.find(']') == std::string_view::npos || colon > proxy_url.find(']'));
  if (!has_port) name.address += EqualsIgnoringCase(scheme, "https") ? ":443" : ":1080";
  return name;
}

}  // namespace horalux
