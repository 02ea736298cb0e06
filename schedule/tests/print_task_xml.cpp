// Prints the task definition for `PROGRAM URL... [--proxy PROXY]`, for task_xml_test.py.
#include <cstdio>
#include <string>

#include "schedule/task_definition.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: horalux_print_task_xml PROGRAM URL... [--proxy PROXY]\n", stderr);
    return 2;
  }
  horalux::TaskPlan plan;
  plan.program = argv[1];
  for (int i = 2; i < argc; ++i) {
    if (std::string(argv[i]) == "--proxy" && i + 1 < argc) {
      plan.proxy = argv[++i];
    } else {
      plan.urls.emplace_back(argv[i]);
    }
  }
  std::fputs(horalux::TaskXml(plan).c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
