// Which proxy the scheduled task passes with --proxy: SYSTEM has no Internet Options of its own,
// so where the administrator's session reaches a site through a proxy, the task is given the
// same. Portable: each site's route in, the one option out.
#pragma once

#include <string>
#include <vector>

namespace horalux {

struct SiteRoute {
  std::string url;
  // WinHTTP finds this route itself on every run (auto-detection, Windows 8.1 and later).
  bool found_by_system = false;
  std::string proxy;  // otherwise: "host:port" as WinHTTP names it; empty: a direct connection
};

// The proxy URL for --proxy ("http://host:port"), empty where the task needs none. Raises
// ErrorKind::kInvalidUrl where the sites need different routes, which one --proxy cannot give,
// naming them and saying to pass --proxy.
std::string TaskProxy(const std::vector<SiteRoute>& routes);

}  // namespace horalux
