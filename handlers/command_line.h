// The program's command line, `horalux [URL]` for the window and `horalux --query|--sync
// [--proxy URL] [URL ...]` without one, read the same way by every front end: what to do, and
// the text to show for it. Showing the text is the front end's part (a terminal on Linux, a box
// on Windows).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace horalux {

struct CommandLine {
  enum class Action {
    kRun,
    kShowHelp,
    kShowVersion,
    kUsageError,
    kQuery,
    kSync,
    kSchedule,    // --schedule [URL ...] [--proxy URL]: set up the scheduled correction
    kUnschedule,  // --unschedule: stop it
    kStatus,      // --status: how it stands, and what its last runs did
  };
  Action action = Action::kRun;
  // kRun: the URL for the address box, verbatim; none when none was given (the default stays).
  std::optional<std::string> url;
  // kQuery, kSync, kSchedule: one to kMostSyncUrls http or https URLs, verbatim (the window's
  // default when none was given), and the proxy of --proxy (empty: the system's).
  std::vector<std::string> urls;
  std::string proxy;
  // kShowHelp, kShowVersion, kUsageError: the text to show, ending in a newline.
  std::string text;
};

inline constexpr std::size_t kMostSyncUrls = 8;

// The exit status of a usage error, as for most commands.
inline constexpr int kUsageErrorStatus = 2;

// `program` is the name the texts call the program by ("horalux", "horalux.exe"); `arguments`
// are the arguments after it, in UTF-8. An argument after "--" is a URL whatever it starts with.
CommandLine ParseCommandLine(std::string_view program, const std::vector<std::string>& arguments);

}  // namespace horalux
