#include "handlers/command_line.h"

#include "handlers/texts.h"

#include <cstddef>
#include <utility>

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

bool IsScheduleOption(std::string_view argument) {
  return argument == "--schedule" || argument == "--unschedule" || argument == "--status";
}

// The scheduled correction's options, where one of them comes before any "--" and no --help or
// --version does (those win wherever they stand); none otherwise.
std::optional<CommandLine> ParseScheduleCommand(std::string_view program,
                                                const std::vector<std::string>& arguments) {
  std::optional<std::string> mode;
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--help" || argument == "-h" || argument == "--version") return std::nullopt;
    if (IsScheduleOption(argument) && !mode) mode = argument;
  }
  if (!mode) return std::nullopt;
  CommandLine command_line;
  command_line.action = *mode == "--schedule"     ? CommandLine::Action::kSchedule
                        : *mode == "--unschedule" ? CommandLine::Action::kUnschedule
                                                  : CommandLine::Action::kStatus;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool is_option = !options_ended && argument.starts_with('-') && argument != "-";
    if (!options_ended && argument == "--") {
      options_ended = true;
    } else if (is_option && argument == *mode) {
    } else if (is_option && argument == "--proxy" && *mode == "--schedule") {
      if (i + 1 == arguments.size()) {
        return UsageError(program, std::string(texts::kProxyWithoutUrl));
      }
      command_line.proxy = arguments[++i];
    } else if (is_option) {
      return UsageError(program, Quoted(argument) + std::string(texts::kNotWith) + *mode +
                                     std::string(texts::kNotWithAfter));
    } else if (*mode != "--schedule") {
      return UsageError(program, *mode + std::string(texts::kTakesNoUrl) + Quoted(argument) + "。");
    } else {
      command_line.urls.push_back(argument);
    }
  }
  return command_line;
}

}  // namespace

CommandLine ParseCommandLine(std::string_view program, const std::vector<std::string>& arguments) {
  if (std::optional<CommandLine> scheduled = ParseScheduleCommand(program, arguments)) {
    return *std::move(scheduled);
  }
  CommandLine command_line;
  std::vector<std::string> urls;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    if (options_ended || !argument.starts_with('-') || argument == "-") {
      urls.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (IsScheduleOption(argument)) {
      // Only with --help or --version, which win.
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
