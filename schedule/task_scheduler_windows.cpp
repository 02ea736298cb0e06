#include "schedule/task_scheduler_windows.h"

#include <cstdio>

#include "runtime/base/windows_text.h"

namespace horalux {
namespace {

std::wstring Wide(std::string_view text) { return Utf8ToWideReplacing(text); }

// A DATE of Task Scheduler, in local time; none for the zero it gives for "never".
std::optional<std::string> DateText(DATE date) {
  SYSTEMTIME time{};
  if (date == 0 || !::VariantTimeToSystemTime(date, &time)) return std::nullopt;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth,
                time.wDay, time.wHour, time.wMinute, time.wSecond);
  return std::string(text);
}

std::string StateText(TASK_STATE state) {
  switch (state) {
    case TASK_STATE_DISABLED:
      return "已禁用";
    case TASK_STATE_QUEUED:
      return "已排队";
    case TASK_STATE_READY:
      return "就绪";
    case TASK_STATE_RUNNING:
      return "正在运行";
    default:
      return "未知";
  }
}

bool IsMissing(HRESULT result) {
  return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

}  // namespace

TaskFolder::TaskFolder() {
  HRESULT result = ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ITaskService, reinterpret_cast<void**>(service_.put()));
  if (FAILED(result)) throw HresultError(result, "无法打开任务计划程序");
  const Variant none;
  result = service_->Connect(none.get(), none.get(), none.get(), none.get());
  if (FAILED(result)) throw HresultError(result, "无法连接任务计划程序服务");
  const Bstr root(L"\\");
  result = service_->GetFolder(root.get(), root_.put());
  if (FAILED(result)) throw HresultError(result, "无法打开任务计划程序的根文件夹");
}

void TaskFolder::Register(std::string_view name, std::string_view xml) {
  const Bstr path(Wide(name));
  const Bstr text(Wide(xml));
  const Variant none;
  ComPtr<IRegisteredTask> task;
  // No user or password: the document's principal (SYSTEM) is a service account, which needs
  // neither.
  const HRESULT result =
      root_->RegisterTask(path.get(), text.get(), TASK_CREATE_OR_UPDATE, none.get(), none.get(),
                          TASK_LOGON_SERVICE_ACCOUNT, none.get(), task.put());
  if (FAILED(result)) throw HresultError(result, "无法注册计划任务“" + std::string(name) + "”");
}

bool TaskFolder::Delete(std::string_view name) {
  const Bstr path(Wide(name));
  const HRESULT result = root_->DeleteTask(path.get(), 0);
  if (IsMissing(result)) return false;
  if (FAILED(result)) throw HresultError(result, "无法删除计划任务“" + std::string(name) + "”");
  return true;
}

std::optional<RegisteredTaskState> TaskFolder::Find(std::string_view name) {
  const Bstr path(Wide(name));
  ComPtr<IRegisteredTask> task;
  const HRESULT result = root_->GetTask(path.get(), task.put());
  if (IsMissing(result)) return std::nullopt;
  if (FAILED(result)) throw HresultError(result, "无法读取计划任务“" + std::string(name) + "”");
  // Each part as far as this Task Scheduler tells it: an older or partial one may not.
  RegisteredTaskState state;
  Bstr xml;
  if (SUCCEEDED(task->get_Xml(xml.put()))) state.xml = WideToUtf8(xml.view());
  DATE date = 0;
  if (SUCCEEDED(task->get_LastRunTime(&date))) state.last_run = DateText(date);
  date = 0;
  if (SUCCEEDED(task->get_NextRunTime(&date))) state.next_run = DateText(date);
  LONG last_result = 0;
  if (state.last_run && SUCCEEDED(task->get_LastTaskResult(&last_result))) {
    state.last_result = last_result;
  }
  TASK_STATE task_state = TASK_STATE_UNKNOWN;
  state.state = SUCCEEDED(task->get_State(&task_state)) ? StateText(task_state) : "未知";
  return state;
}

}  // namespace horalux
