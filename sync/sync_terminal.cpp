#include "sync/sync_terminal.h"

#include <memory>
#include <string>

#include "runtime/base/error.h"

namespace horalux {

int PrintSyncReport(const SyncReport& report, std::FILE* out, std::FILE* err) {
  for (const std::string& error : report.errors) std::fprintf(err, "horalux：%s\n", error.c_str());
  std::fflush(err);
  for (const std::string& line : report.site_lines) std::fprintf(out, "%s\n", line.c_str());
  std::fprintf(out, "%s\n", report.summary.c_str());
  return std::fflush(out) == 0 && !std::ferror(out) ? report.exit_status : 1;
}

int RunSyncInTerminal(const SyncRequest& request) {
  const WallClock wall_clock;
  std::unique_ptr<Clock> clock;
  if (request.set_clock) clock = OpenSystemClock();
  return PrintSyncReport(RunTimeSync(request, SystemSyncServices(wall_clock, clock.get())), stdout,
                         stderr);
}

}  // namespace horalux
