#include "handlers/command_line.h"

#include "handlers/texts.h"

namespace horalux {
namespace {

std::string UsageLine(std::string_view program) {
  return std::string(texts::kUsageBefore) + std::string(program) + std::string(texts::kUsageAfter) +
         "\n";
}

CommandLine UsageError(std::string_view program, const std::string& cause) {
  CommandLine command_line;
  command_line.action = CommandLine::Action::kUsageError;
  command_line.text = std::string(program) + "：" + cause + "\n" + UsageLine(program) +
                      std::string(texts::kSeeHelpBefore) + std::string(program) +
                      std::string(texts::kSeeHelpAfter) + "\n";
  return command_line;
}

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

}  // namespace

CommandLine ParseCommandLine(std::string_view program, const std::vector<std::string>& arguments) {
  CommandLine command_line;
  std::vector<std::string> urls;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    if (options_ended || !argument.starts_with('-') || argument == "-") {
      urls.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help" || argument == "-h") {
      command_line.action = CommandLine::Action::kShowHelp;
      command_line.text = UsageLine(program) + "\n" + std::string(texts::kHelpBody);
      return command_line;
    } else if (argument == "--version") {
      command_line.action = CommandLine::Action::kShowVersion;
      command_line.text = std::string(texts::kApplicationTitle) + " " + HORALUX_VERSION + "\n";
      return command_line;
    } else {
      return UsageError(program, std::string(texts::kUnknownOption) + Quoted(argument) + "。");
    }
  }
  if (urls.size() > 1) {
    std::string listed;
    for (const std::string& url : urls) listed += (listed.empty() ? "" : "、") + Quoted(url);
    return UsageError(program, std::string(texts::kMoreThanOneUrl) + listed + "。");
  }
  if (!urls.empty()) command_line.url = urls.front();
  return command_line;
}

}  // namespace horalux
