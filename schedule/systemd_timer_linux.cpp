#include "schedule/systemd_timer_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>

#include "runtime/base/error.h"
#include "schedule/defaults_file.h"
#include "schedule/run_command_linux.h"
#include "schedule/scheduled_urls.h"
#include "schedule/timedated_ntp_linux.h"

namespace horalux {
namespace {

constexpr std::chrono::seconds kCommandLimit{60};
constexpr std::string_view kAsRoot = "请以 root 身份运行（sudo horalux ……）";

std::string Joined(const std::vector<std::string>& words, std::string_view between = " ") {
  std::string joined;
  for (const std::string& word : words) {
    if (!joined.empty()) joined += between;
    joined += word;
  }
  return joined;
}

// What the file holds; empty where it is missing, as on a system without the package's file.
std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return {};
    throw SystemError(ErrorKind::kSystem, errno, "无法读取 " + path);
  }
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Replaces the file whole, through a new file beside it, so that a run of the service never reads
// it half written.
void WriteFile(const std::string& path, const std::string& content) {
  const std::string fresh = path + ".horalux-new";
  const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int error = errno;
    throw SystemError(
        ErrorKind::kSystem, error,
        "无法写入 " + path +
            (error == EACCES || error == EPERM || error == EROFS ? "。" + std::string(kAsRoot)
                                                                 : std::string()));
  }
  std::size_t written = 0;
  int error = 0;
  while (written < content.size() && error == 0) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) written += static_cast<std::size_t>(n);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(fresh.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(fresh.c_str());
    throw SystemError(ErrorKind::kSystem, error, "无法写入 " + path);
  }
}

CommandResult Systemctl(const SystemdPlaces& places, const std::vector<std::string>& arguments) {
  std::vector<std::string> command{places.systemctl};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, kCommandLimit);
}

// Runs systemctl, and raises with its own words where it failed.
CommandResult RunOrRaise(const SystemdPlaces& places, const std::vector<std::string>& arguments,
                         std::string_view what) {
  CommandResult result = Systemctl(places, arguments);
  if (result.exit_status == 0) return result;
  std::string words = result.output;
  while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
  std::string remedy;
  if (words.find("does not exist") != std::string::npos ||
      words.find("not found") != std::string::npos) {
    remedy = "。请先安装 horalux 软件包，它带有 " + std::string(kTimerUnit);
  } else if (words.find("Access denied") != std::string::npos ||
             words.find("authentication") != std::string::npos) {
    remedy = "。" + std::string(kAsRoot);
  }
  throw Error(ErrorKind::kSystem, std::string(what) + "（systemctl 退出状态 " +
                                      std::to_string(result.exit_status) +
                                      (words.empty() ? "" : "：" + words) + "）" + remedy);
}

// `systemctl show`'s NAME=VALUE lines.
std::map<std::string, std::string> Properties(const SystemdPlaces& places, std::string_view unit,
                                              std::string_view names) {
  const CommandResult result =
      RunOrRaise(places, {"show", std::string(unit), "--property=" + std::string(names)},
                 "无法查看 " + std::string(unit));
  std::map<std::string, std::string> properties;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) properties[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return properties;
}

std::string OrNone(const std::string& value) {
  return value.empty() || value == "n/a" || value == "0" ? "无" : value;
}

std::string ResultText(const std::map<std::string, std::string>& service) {
  const auto at = [&service](const char* name) {
    const auto found = service.find(name);
    return found == service.end() ? std::string() : found->second;
  };
  if (OrNone(at("ExecMainExitTimestamp")) == "无") return "尚未运行";
  const std::string status = at("ExecMainStatus");
  if (at("Result") == "success" && status == "0") return "成功（退出状态 0）";
  return "失败（" + at("Result") + "，退出状态 " + status + "）";
}

}  // namespace

SystemdPlaces SystemPlaces() {
  return {std::string(kDefaultsFile), "systemctl", "journalctl", &TimedatedReportsNtp};
}

ScheduleOutput ScheduleTimer(const ScheduleRequest& request, const SystemdPlaces& places) {
  CheckScheduledUrls(request.urls);
  ScheduleOutput output;
  const std::string content =
      WithSchedule(ReadFile(places.defaults_file), request.urls, request.proxy);
  if (places.ntp && places.ntp().value_or(false)) {
    output.warnings.push_back(
        "警告：systemd-timedated 报告自动时间同步（NTP）已开启，定时校正时它不接受设置的时间，"
        "每次运行都只会说明这一点。要由本程序校正时钟，请运行 timedatectl set-ntp false 关闭"
        "自动时间同步。");
  }
  WriteFile(places.defaults_file, content);
  output.lines.push_back("已把网址写入 " + places.defaults_file + "：" + Joined(request.urls) +
                         (request.proxy.empty() ? "" : "（经代理 " + request.proxy + "）"));
  RunOrRaise(places, {"enable", "--now", std::string(kTimerUnit)},
             "无法启用 " + std::string(kTimerUnit));
  output.lines.push_back("已启用并启动 " + std::string(kTimerUnit) +
                         "：开机一分钟后校正系统时钟，此后每小时一次（horalux --sync）。");
  return output;
}

ScheduleOutput UnscheduleTimer(const SystemdPlaces& places) {
  RunOrRaise(places, {"disable", "--now", std::string(kTimerUnit)},
             "无法停用 " + std::string(kTimerUnit));
  return {{"已停止并禁用 " + std::string(kTimerUnit) + "，不再定时校正系统时钟（" +
           places.defaults_file + " 中的网址保留）。"},
          {}};
}

ScheduleOutput TimerStatus(const SystemdPlaces& places) {
  const auto timer = Properties(places, kTimerUnit,
                                "UnitFileState,ActiveState,NextElapseUSecRealtime,LastTriggerUSec");
  const auto service =
      Properties(places, kServiceUnit, "Result,ExecMainStatus,ExecMainExitTimestamp");
  const auto value = [](const std::map<std::string, std::string>& of, const char* name) {
    const auto found = of.find(name);
    return found == of.end() ? std::string() : found->second;
  };
  ScheduleOutput output;
  const bool enabled = value(timer, "UnitFileState") == "enabled";
  output.lines.push_back("定时校正：" + std::string(enabled ? "已启用" : "未启用") + "（" +
                         std::string(kTimerUnit) + "，" + OrNone(value(timer, "ActiveState")) +
                         "）");
  const std::vector<std::string> urls = ScheduledUrls(ReadFile(places.defaults_file));
  output.lines.push_back("网址：" + (urls.empty() ? std::string("无") : Joined(urls)));
  output.lines.push_back("下次运行：" + OrNone(value(timer, "NextElapseUSecRealtime")));
  output.lines.push_back("上次运行：" + OrNone(value(timer, "LastTriggerUSec")));
  output.lines.push_back("上次结果：" + ResultText(service));
  CommandResult journal{1, {}};
  try {
    journal = RunCommand({places.journalctl, "--unit=" + std::string(kServiceUnit), "--lines=20",
                          "--no-pager", "--output=short-iso", "--quiet"},
                         kCommandLimit);
  } catch (const Error&) {
    // Without the journal the rest still says how things stand.
  }
  output.lines.push_back("最近的运行记录：");
  std::istringstream lines(journal.output);
  bool any = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.starts_with("-- ")) continue;
    output.lines.push_back("  " + line);
    any = true;
  }
  if (!any)
    output.lines.push_back(journal.exit_status == 0 ? "  （没有记录）" : "  （无法读取日志）");
  return output;
}

ScheduleOutput Schedule(const ScheduleRequest& request) {
  return ScheduleTimer(request, SystemPlaces());
}
ScheduleOutput Unschedule() { return UnscheduleTimer(SystemPlaces()); }
ScheduleOutput ScheduleStatus() { return TimerStatus(SystemPlaces()); }

}  // namespace horalux
