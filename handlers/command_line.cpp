#include "handlers/command_line.h"

#include "handlers/texts.h"

#include <optional>

namespace horalux {
namespace {

std::string UsageLines(std::string_view program) {
  return std::string(texts::kUsageBefore) + std::string(program) + std::string(texts::kUsageAfter) +
         "\n" + std::string(texts::kUsageIndent) + std::string(program) +
         std::string(texts::kWindowlessUsageAfter) + "\n" + std::string(texts::kUsageIndent) +
         std::string(program) + std::string(texts::kScheduleUsageAfter) + "\n";
}

// The usage line after the program's name for a mode: the window's (kRun), the measuring modes'
// or the scheduled correction's.
std::string_view UsageAfter(CommandLine::Action mode) {
  switch (mode) {
    case CommandLine::Action::kSchedule:
    case CommandLine::Action::kUnschedule:
    case CommandLine::Action::kStatus:
      return texts::kScheduleUsageAfter;
    case CommandLine::Action::kRun:
      return texts::kUsageAfter;
    default:
      return texts::kWindowlessUsageAfter;
  }
}

CommandLine UsageError(std::string_view program, const std::string& cause,
                       CommandLine::Action mode) {
  CommandLine command_line;
  command_line.action = CommandLine::Action::kUsageError;
  const std::string usage = std::string(texts::kUsageBefore) + std::string(program) +
                            std::string(UsageAfter(mode)) + "\n";
  command_line.text = std::string(program) + "：" + cause + "\n" + usage +
                      std::string(texts::kSeeHelpBefore) + std::string(program) +
                      std::string(texts::kSeeHelpAfter) + "\n";
  return command_line;
}

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

bool IsWebUrl(std::string_view url) {
  auto starts = [url](std::string_view scheme) {
    if (url.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      const char c = url[i];
      if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != scheme[i]) return false;
    }
    return true;
  };
  return starts("http://") || starts("https://");
}

// The modes without a window, by their options.
std::optional<CommandLine::Action> ModeOf(std::string_view argument) {
  if (argument == "--query") return CommandLine::Action::kQuery;
  if (argument == "--sync") return CommandLine::Action::kSync;
  if (argument == "--schedule") return CommandLine::Action::kSchedule;
  if (argument == "--unschedule") return CommandLine::Action::kUnschedule;
  if (argument == "--status") return CommandLine::Action::kStatus;
  return std::nullopt;
}

bool IsQueryOrSync(CommandLine::Action action) {
  return action == CommandLine::Action::kQuery || action == CommandLine::Action::kSync;
}

}  // namespace

CommandLine ParseCommandLine(std::string_view program, const std::vector<std::string>& arguments) {
  CommandLine command_line;
  std::vector<std::string> urls;
  std::optional<std::string> proxy;
  std::string mode_option;  // the option that chose a mode without a window
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || !argument.starts_with('-') || argument == "-") {
      urls.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help" || argument == "-h") {
      command_line.action = CommandLine::Action::kShowHelp;
      command_line.text = UsageLines(program) + "\n" + std::string(texts::kHelpBody);
      return command_line;
    } else if (argument == "--version") {
      command_line.action = CommandLine::Action::kShowVersion;
      command_line.text = std::string(texts::kApplicationTitle) + " " + HORALUX_VERSION + "\n";
      return command_line;
    } else if (const std::optional<CommandLine::Action> mode = ModeOf(argument)) {
      if (command_line.action != CommandLine::Action::kRun && command_line.action != *mode) {
        if (IsQueryOrSync(command_line.action) && IsQueryOrSync(*mode)) {
          return UsageError(program, std::string(texts::kQueryAndSync), command_line.action);
        }
        return UsageError(program,
                          Quoted(argument) + std::string(texts::kNotWith) + mode_option +
                              std::string(texts::kNotWithAfter),
                          command_line.action);
      }
      command_line.action = *mode;
      mode_option = argument;
    } else if (argument == "--proxy" || argument.starts_with("--proxy=")) {
      if (argument != "--proxy") {
        proxy = argument.substr(8);
      } else if (i + 1 < arguments.size()) {
        proxy = arguments[++i];
      }
      if (!proxy || proxy->empty()) {
        return UsageError(program, std::string(texts::kProxyMissing), command_line.action);
      }
    } else {
      return UsageError(program, std::string(texts::kUnknownOption) + Quoted(argument) + "。",
                        command_line.action);
    }
  }

  if (command_line.action == CommandLine::Action::kRun) {
    if (proxy)
      return UsageError(program, std::string(texts::kProxyWithoutMode), CommandLine::Action::kRun);
    if (urls.size() > 1) {
      std::string listed;
      for (const std::string& url : urls) listed += (listed.empty() ? "" : "、") + Quoted(url);
      return UsageError(program, std::string(texts::kMoreThanOneUrl) + listed + "。",
                        CommandLine::Action::kRun);
    }
    if (!urls.empty()) command_line.url = urls.front();
    return command_line;
  }

  if (command_line.action == CommandLine::Action::kUnschedule ||
      command_line.action == CommandLine::Action::kStatus) {
    if (proxy)
      return UsageError(program, mode_option + std::string(texts::kTakesNoProxy),
                        command_line.action);
    if (!urls.empty()) {
      return UsageError(program,
                        mode_option + std::string(texts::kTakesNoUrl) + Quoted(urls.front()) + "。",
                        command_line.action);
    }
    return command_line;
  }
  if (urls.size() > kMostSyncUrls) {
    return UsageError(program,
                      std::string(texts::kTooManyUrlsBefore) + std::to_string(kMostSyncUrls) +
                          std::string(texts::kTooManyUrlsAfter) + std::to_string(urls.size()) +
                          " 个。",
                      command_line.action);
  }
  for (const std::string& url : urls) {
    if (!IsWebUrl(url))
      return UsageError(program, Quoted(url) + std::string(texts::kNotAWebUrl),
                        command_line.action);
  }
  if (urls.empty()) urls.emplace_back(texts::kDefaultTimeServerUrl);
  command_line.urls = std::move(urls);
  command_line.proxy = proxy.value_or("");
  return command_line;
}

}  // namespace horalux
