// Windows only: the root folder of Task Scheduler through its COM interface (ITaskService), to
// register a task from its XML, delete it, and read how a registered one stands.
#pragma once

#include <taskschd.h>
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "schedule/com_handles_windows.h"

namespace horalux {

struct RegisteredTaskState {
  std::string xml;                      // the definition as Task Scheduler keeps it (UTF-8)
  std::optional<std::string> last_run;  // local time, "2024-05-17 08:30:00"; none: never ran
  std::optional<std::string> next_run;  // none: not known
  std::optional<long> last_result;      // the exit code or HRESULT of the last run
  std::string state;                    // 已就绪, 正在运行, 已禁用, ...
};

class TaskFolder {
 public:
  // Connects to the Task Scheduler service on this computer. Raises horalux::Error.
  TaskFolder();

  // Registers `xml` as `name`, replacing a task of that name (TASK_CREATE_OR_UPDATE), to run as
  // the principal the document names.
  void Register(std::string_view name, std::string_view xml);
  // False where there was no such task.
  bool Delete(std::string_view name);
  std::optional<RegisteredTaskState> Find(std::string_view name);

 private:
  ComApartment apartment_;
  ComPtr<ITaskService> service_;
  ComPtr<ITaskFolder> root_;
};

}  // namespace horalux
