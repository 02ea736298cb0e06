// The scheduled correction on Windows: a task in the root folder of Task Scheduler that runs the
// copy of horalux.exe in Program Files as SYSTEM.
#include <windows.h>
#include <winhttp.h>

#include <cstdio>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "schedule/event_source_windows.h"
#include "schedule/installed_copy_windows.h"
#include "schedule/scheduled_urls.h"
#include "schedule/scheduler.h"
#include "schedule/task_definition.h"
#include "schedule/task_proxy.h"
#include "schedule/task_scheduler_windows.h"
#include "schedule/task_summary.h"
#include "webtime/proxy_choice.h"
#include "webtime/winhttp_handle.h"
#include "webtime/winhttp_proxy.h"

namespace horalux {
namespace {

// Whether WinHTTP finds the system's proxy itself (Windows 8.1 and later), as it then does for
// the task too.
bool SystemFindsProxies() {
  const InternetHandle session(::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  return session != nullptr;
}

// The route of each site as the window would take it in this session. Auto-detection (WPAD) is
// left to the system where WinHTTP does it for SYSTEM as well; a configuration script of the
// administrator's own settings and a named proxy SYSTEM cannot see, so they are resolved now.
std::vector<SiteRoute> RoutesOf(const std::vector<std::string>& urls) {
  const bool system_finds = SystemFindsProxies();
  const InternetOptionsProxy settings = ReadInternetOptionsProxy();
  InternetHandle discovery;
  std::vector<SiteRoute> routes;
  for (const std::string& url : urls) {
    const bool secure = url.size() > 5 && (url[4] == 's' || url[4] == 'S');
    const ProxyPlan plan = PlanProxy(settings, secure ? "https" : "http");
    SiteRoute route{url, system_finds && plan.auto_detect, {}};
    if (!route.found_by_system) {
      const SessionProxy proxy = ResolveProxyPlan(discovery, plan, Utf8ToWideReplacing(url));
      if (proxy.access_type == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        route.proxy = WideToUtf8(proxy.proxy);
      }
    }
    routes.push_back(std::move(route));
  }
  return routes;
}

std::string ResultText(long result) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  if (result == 0) return "成功（0）";
  if (result == 1) return "失败（退出状态 1：没有测得时间，或时钟拒绝设置）";
  if (result == 2) return "失败（退出状态 2：命令行有误）";
  const std::string text = WindowsErrorText(static_cast<DWORD>(result));
  return "失败（" + (text.empty() ? std::string() : text + "，") + code + "）";
}

}  // namespace

ScheduleOutput Schedule(const ScheduleRequest& request) {
  CheckScheduledUrls(request.urls);
  TaskPlan plan;
  plan.urls = request.urls;
  plan.proxy = request.proxy.empty() ? TaskProxy(RoutesOf(request.urls)) : request.proxy;
  TaskFolder folder;
  const std::wstring program = InstallIntoProgramFiles();
  // The task's runs report to the event log: their events are worded by the copy they run.
  RegisterEventMessages(program);
  plan.program = WideToUtf8(program);
  const std::string xml = TaskXml(plan);
  folder.Register(kTaskName, xml);
  ScheduleOutput output;
  output.lines.push_back("已注册计划任务“" + std::string(kTaskName) +
                         "”，定时校正系统时钟（再次运行 --schedule 则替换它）：");
  for (const std::string& line : DescribeTask(xml)) output.lines.push_back("  " + line);
  return output;
}

ScheduleOutput Unschedule() {
  TaskFolder folder;
  const std::string name(kTaskName);
  if (folder.Delete(kTaskName))
    return {{"已删除计划任务“" + name + "”，不再定时校正系统时钟。"}, {}};
  return {{"没有名为“" + name + "”的计划任务，无需删除。"}, {}};
}

ScheduleOutput ScheduleStatus() {
  TaskFolder folder;
  const std::string name(kTaskName);
  const std::optional<RegisteredTaskState> task = folder.Find(kTaskName);
  ScheduleOutput output;
  if (!task) {
    output.lines.push_back("定时校正：未设置（没有名为“" + name + "”的计划任务）");
    return output;
  }
  output.lines.push_back("定时校正：计划任务“" + name + "”，" + task->state);
  for (const std::string& line : DescribeTask(task->xml)) output.lines.push_back(line);
  output.lines.push_back("下次运行：" + task->next_run.value_or("无"));
  output.lines.push_back("上次运行：" + task->last_run.value_or("尚未运行"));
  if (task->last_result) output.lines.push_back("上次结果：" + ResultText(*task->last_result));
  return output;
}

}  // namespace horalux
