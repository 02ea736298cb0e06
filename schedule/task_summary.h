// What a task definition in Task Scheduler's XML says, as lines for --schedule and --status: the
// command, when it runs, and as whom. Portable text; a part the document lacks is said to be
// missing (Wine, for one, keeps no triggers, action or principal).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace horalux {

std::vector<std::string> DescribeTask(std::string_view xml);

}  // namespace horalux
