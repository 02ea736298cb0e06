#include "webtime/proxy_choice.h"

#include "webtime/response_headers.h"

namespace horalux {
namespace {

// The proxy for `scheme` in a list of entries separated by ';' or blanks.
std::string ProxyForScheme(std::string_view list, std::string_view scheme) {
  std::string_view for_all;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find_first_of("; \t"), list.size());
    const std::string_view entry = list.substr(0, end);
    list.remove_prefix(std::min(end + 1, list.size()));
    if (entry.empty()) continue;
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (for_all.empty()) for_all = entry;
    } else if (EqualsIgnoringCase(entry.substr(0, equals), scheme)) {
      return std::string(entry.substr(equals + 1));
    }
  }
  return std::string(for_all);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// `text` against `pattern`, where '*' stands for any run of characters.
bool MatchesWildcard(std::string_view pattern, std::string_view text) {
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && LowerAscii(pattern[p]) == LowerAscii(text[t])) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool BypassesNamedProxy(std::string_view bypass, std::string_view host) {
  while (!bypass.empty()) {
    const std::size_t end = std::min(bypass.find_first_of("; \t"), bypass.size());
    const std::string_view entry = bypass.substr(0, end);
    bypass.remove_prefix(std::min(end + 1, bypass.size()));
    if (entry.empty()) continue;
    if (EqualsIgnoringCase(entry, "<local>")) {
      if (host.find('.') == std::string_view::npos && host.find(':') == std::string_view::npos) {
        return true;
      }
    } else if (MatchesWildcard(entry, host)) {
      return true;
    }
  }
  return false;
}

ProxyPlan PlanProxy(const InternetOptionsProxy& settings, std::string_view scheme) {
  ProxyPlan plan;
  plan.auto_detect = settings.auto_detect;
  plan.script_url = settings.auto_config_url;
  plan.proxy = ProxyForScheme(settings.proxy, scheme);
  if (!plan.proxy.empty()) plan.bypass = settings.bypass;
  return plan;
}

}  // namespace horalux
