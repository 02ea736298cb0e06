#include "handlers/command_line.h"

#include "handlers/texts.h"

namespace horalux {
namespace {

std::string UsageLines(std::string_view program) {
  return std::string(texts::kUsageBefore) + std::string(program) + std::string(texts::kUsageAfter) +
         "\n" + std::string(texts::kUsageIndent) + std::string(program) +
         std::string(texts::kWindowlessUsageAfter) + "\n";
}

std::string UsageLine(std::string_view program) {
  return std::string(texts::kUsageBefore) + std::string(program) + std::string(texts::kUsageAfter) +
         "\n";
}

CommandLine UsageError(std::string_view program, const std::string& cause, bool windowless) {
  CommandLine command_line;
  command_line.action = CommandLine::Action::kUsageError;
  std::string usage = UsageLine(program);
  if (windowless) {
    usage = std::string(texts::kUsageBefore) + std::string(program) +
            std::string(texts::kWindowlessUsageAfter) + "\n";
  }
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

}  // namespace

CommandLine ParseCommandLine(std::string_view program, const std::vector<std::string>& arguments) {
  CommandLine command_line;
  std::vector<std::string> urls;
  std::optional<std::string> proxy;
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
    } else if (argument == "--query" || argument == "--sync") {
      const auto mode =
          argument == "--query" ? CommandLine::Action::kQuery : CommandLine::Action::kSync;
      if (command_line.action != CommandLine::Action::kRun && command_line.action != mode) {
        return UsageError(program, std::string(texts::kQueryAndSync), true);
      }
      command_line.action = mode;
    } else if (argument == "--proxy" || argument.starts_with("--proxy=")) {
      if (argument != "--proxy") {
        proxy = argument.substr(8);
      } else if (i + 1 < arguments.size()) {
        proxy = arguments[++i];
      }
      if (!proxy || proxy->empty()) {
        return UsageError(program, std::string(texts::kProxyMissing), true);
      }
    } else {
      return UsageError(program, std::string(texts::kUnknownOption) + Quoted(argument) + "。",
                        command_line.action != CommandLine::Action::kRun);
    }
  }

  if (command_line.action == CommandLine::Action::kRun) {
    if (proxy) return UsageError(program, std::string(texts::kProxyWithoutMode), false);
    if (urls.size() > 1) {
      std::string listed;
      for (const std::string& url : urls) listed += (listed.empty() ? "" : "、") + Quoted(url);
      return UsageError(program, std::string(texts::kMoreThanOneUrl) + listed + "。", false);
    }
    if (!urls.empty()) command_line.url = urls.front();
    return command_line;
  }

  if (urls.size() > kMostSyncUrls) {
    return UsageError(program,
                      std::string(texts::kTooManyUrlsBefore) + std::to_string(kMostSyncUrls) +
                          std::string(texts::kTooManyUrlsAfter) + std::to_string(urls.size()) +
                          " 个。",
                      true);
  }
  for (const std::string& url : urls) {
    if (!IsWebUrl(url))
      return UsageError(program, Quoted(url) + std::string(texts::kNotAWebUrl), true);
  }
  if (urls.empty()) urls.emplace_back(texts::kDefaultTimeServerUrl);
  command_line.urls = std::move(urls);
  command_line.proxy = proxy.value_or("");
  return command_line;
}

}  // namespace horalux
