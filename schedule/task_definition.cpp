#include "schedule/task_definition.h"

#include <cstddef>

#include "schedule/windows_arguments.h"

namespace horalux {
namespace {

std::string Escaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// An xs:duration in whole minutes: PT5M.
std::string Duration(std::chrono::minutes minutes) {
  return "PT" + std::to_string(minutes.count()) + "M";
}

std::string Element(std::string_view name, std::string_view value) {
  // Appended piece by piece: GCC 12 warns falsely, at -O3, of an overlapping copy in
  // "<" + std::string(name).
  return std::string(1, '<')
      .append(name)
      .append(">")
      .append(Escaped(value))
      .append("</")
      .append(name)
      .append(">");
}

}  // namespace

std::vector<std::string> TaskArguments(const TaskPlan& plan) {
  std::vector<std::string> arguments{"--sync"};
  arguments.insert(arguments.end(), plan.urls.begin(), plan.urls.end());
  if (!plan.proxy.empty()) {
    arguments.push_back("--proxy");
    arguments.push_back(plan.proxy);
  }
  return arguments;
}

std::string TaskXml(const TaskPlan& plan) {
  const std::size_t last_separator = plan.program.find_last_of('\\');
  const std::string working_folder =
      last_separator == std::string::npos ? std::string() : plan.program.substr(0, last_separator);
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
      "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
      "  <RegistrationInfo>\n"
      "    " +
      Element("Author", "Horalux") +
      "\n"
      "    " +
      Element("Description", "按网站 HTTP 应答的 Date 头校正系统时钟：开机时和此后每小时一次。") +
      "\n"
      "  </RegistrationInfo>\n"
      "  <Triggers>\n"
      "    <BootTrigger>\n"
      "      " +
      Element("Delay", Duration(plan.start_delay)) +
      "\n"
      "      <Repetition>\n"
      "        " +
      Element("Interval", Duration(plan.interval)) +
      "\n"
      "        <StopAtDurationEnd>false</StopAtDurationEnd>\n"
      "      </Repetition>\n"
      "      <Enabled>true</Enabled>\n"
      "    </BootTrigger>\n"
      "  </Triggers>\n"
      "  <Principals>\n"
      "    <Principal id=\"System\">\n"
      // LocalSystem, by its SID, which every language of Windows knows by the same name.
      "      <UserId>S-1-5-18</UserId>\n"
      "      <RunLevel>HighestAvailable</RunLevel>\n"
      "    </Principal>\n"
      "  </Principals>\n"
      "  <Settings>\n"
      "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
      "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\n"
      "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\n"
      "    <AllowHardTerminate>true</AllowHardTerminate>\n"
      // A run missed while the computer slept or was off is made up as soon as it can be.
      "    <StartWhenAvailable>true</StartWhenAvailable>\n"
      "    <RunOnlyIfNetworkAvailable>false</RunOnlyIfNetworkAvailable>\n"
      "    <IdleSettings>\n"
      "      <StopOnIdleEnd>false</StopOnIdleEnd>\n"
      "      <RestartOnIdle>false</RestartOnIdle>\n"
      "    </IdleSettings>\n"
      "    <AllowStartOnDemand>true</AllowStartOnDemand>\n"
      "    <Enabled>true</Enabled>\n"
      "    <Hidden>false</Hidden>\n"
      "    <RunOnlyIfIdle>false</RunOnlyIfIdle>\n"
      "    <WakeToRun>false</WakeToRun>\n"
      "    " +
      Element("ExecutionTimeLimit", Duration(plan.run_limit)) +
      "\n"
      "    <Priority>7</Priority>\n"
      "    <RestartOnFailure>\n"
      "      <Interval>PT1M</Interval>\n"
      "      " +
      Element("Count", std::to_string(plan.retries)) +
      "\n"
      "    </RestartOnFailure>\n"
      "  </Settings>\n"
      "  <Actions Context=\"System\">\n"
      "    <Exec>\n"
      "      " +
      Element("Command", "\"" + plan.program + "\"") +
      "\n"
      "      " +
      Element("Arguments", JoinWindowsArguments(TaskArguments(plan))) +
      "\n"
      "      " +
      Element("WorkingDirectory", working_folder) +
      "\n"
      "    </Exec>\n"
      "  </Actions>\n"
      "</Task>\n";
  return xml;
}

}  // namespace horalux
