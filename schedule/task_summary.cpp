#include "schedule/task_summary.h"

#include <optional>
#include <utility>

namespace horalux {
namespace {

std::string Unescaped(std::string_view text) {
  constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
  std::string plain;
  while (!text.empty()) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.starts_with(entity)) {
        plain += c;
        text.remove_prefix(entity.size());
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      plain += text.front();
      text.remove_prefix(1);
    }
  }
  return plain;
}

// "<name" and "</name>". (Built by appending: GCC 12 warns falsely, at -O3, of an overlapping
// copy in "<" + std::string(name).)
std::string OpeningOf(std::string_view name) { return std::string(1, '<').append(name); }
std::string ClosingOf(std::string_view name) { return std::string("</").append(name).append(">"); }

// The text of the first element `name` inside the first element `within` (the whole document
// when empty).
std::optional<std::string> TextOf(std::string_view xml, std::string_view within,
                                  std::string_view name) {
  if (!within.empty()) {
    const std::size_t start = xml.find(OpeningOf(within));
    const std::size_t end = xml.find(ClosingOf(within));
    if (start == std::string_view::npos || end == std::string_view::npos || end < start) {
      return std::nullopt;
    }
    xml = xml.substr(start, end - start);
  }
  const std::string open = OpeningOf(name).append(">");
  const std::size_t start = xml.find(open);
  if (start == std::string_view::npos) return std::nullopt;
  const std::size_t end = xml.find(ClosingOf(name), start);
  if (end == std::string_view::npos) return std::nullopt;
  return Unescaped(xml.substr(start + open.size(), end - start - open.size()));
}

// PT5M as "5 分钟", PT1H as "1 小时"; anything else as it stands.
std::string DurationText(const std::string& duration) {
  if (duration.size() > 3 && duration.starts_with("PT")) {
    const std::string number = duration.substr(2, duration.size() - 3);
    if (duration.back() == 'M') return number + " 分钟";
    if (duration.back() == 'H') return number + " 小时";
    if (duration.back() == 'S') return number + " 秒";
  }
  return duration;
}

constexpr std::string_view kMissing = "（任务计划程序没有记下）";

}  // namespace

std::vector<std::string> DescribeTask(std::string_view xml) {
  std::vector<std::string> lines;
  const auto command = TextOf(xml, "Exec", "Command");
  const auto arguments = TextOf(xml, "Exec", "Arguments");
  lines.push_back("命令：" + (command ? *command + (arguments ? " " + *arguments : "")
                                      : std::string(kMissing)));

  std::string when;
  if (xml.find("<BootTrigger") != std::string_view::npos) {
    const auto delay = TextOf(xml, "BootTrigger", "Delay");
    when = "开机" + (delay ? " " + DurationText(*delay) + "后" : std::string("时"));
    if (const auto interval = TextOf(xml, "Repetition", "Interval")) {
      when += "，此后每 " + DurationText(*interval) + "一次";
    }
  }
  if (const auto count = TextOf(xml, "RestartOnFailure", "Count")) {
    const auto interval = TextOf(xml, "RestartOnFailure", "Interval");
    when += "；失败后每 " + DurationText(interval.value_or("?")) + "重试，最多 " + *count + " 次";
  }
  if (const auto limit = TextOf(xml, "Settings", "ExecutionTimeLimit")) {
    when += "；每次最长 " + DurationText(*limit);
  }
  lines.push_back("运行：" + (when.starts_with("开机") ? when : std::string(kMissing)));

  const auto user = TextOf(xml, "Principal", "UserId");
  const auto level = TextOf(xml, "Principal", "RunLevel");
  std::string who = std::string(kMissing);
  if (user) {
    who = *user == "S-1-5-18" ? "SYSTEM（S-1-5-18）" : *user;
    if (level == "HighestAvailable") who += "，最高权限";
  }
  lines.push_back("身份：" + who);
  return lines;
}

}  // namespace horalux
