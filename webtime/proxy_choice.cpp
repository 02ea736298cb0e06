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

}  // namespace

ProxyPlan PlanProxy(const InternetOptionsProxy& settings, std::string_view scheme) {
  ProxyPlan plan;
  plan.auto_detect = settings.auto_detect;
  plan.script_url = settings.auto_config_url;
  plan.proxy = ProxyForScheme(settings.proxy, scheme);
  if (!plan.proxy.empty()) plan.bypass = settings.bypass;
  return plan;
}

}  // namespace horalux
