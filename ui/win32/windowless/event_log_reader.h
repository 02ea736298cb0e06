// The last runs of --query and --sync as the event log keeps them (Application, source Horalux),
// for --status: a task's runs have no console, and report only there.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace horalux {

// The newest `most_runs` events of the source, newest first: each as its time (local), its event
// ID with the outcome it stands for, and its text, the lines after its first indented. Empty where
// there are none or the log cannot be read.
std::vector<std::string> RecentRunLines(std::size_t most_runs);

}  // namespace horalux
