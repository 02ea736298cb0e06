#include "ui/win32/windowless/windowless_command.h"

#include <algorithm>

#include "handlers/texts.h"

namespace horalux {

bool AsksForWindowlessMode(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--") return false;
    if (argument == "--query" || argument == "--sync" || argument == "--schedule" ||
        argument == "--unschedule" || argument == "--status") {
      return true;
    }
  }
  return false;
}

SyncRequest SyncRequestOf(const CommandLine& command_line) {
  SyncRequest request;
  request.set_clock = command_line.action == CommandLine::Action::kSync;
  request.urls = command_line.urls;
  if (request.urls.empty()) request.urls.emplace_back(texts::kDefaultTimeServerUrl);
  request.proxy = command_line.proxy;
  return request;
}

}  // namespace horalux
