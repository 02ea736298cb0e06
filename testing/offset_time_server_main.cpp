// The offset time server as a program of its own, for the end-to-end tests and the benchmark:
//   horalux_offset_time_server OFFSET_SECONDS [SHORTEST_MS LONGEST_MS [SEED]]
// prints its URL on a line, then serves until its standard input closes.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "testing/offset_time_server.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OFFSET_SECONDS [SHORTEST_MS LONGEST_MS [SEED]]\n", argv[0]);
    return 2;
  }
  const auto offset = std::chrono::microseconds(std::llround(std::strtod(argv[1], nullptr) * 1e6));
  const std::chrono::milliseconds shortest(argc > 2 ? std::atoi(argv[2]) : 5);
  const std::chrono::milliseconds longest(argc > 3 ? std::atoi(argv[3]) : 15);
  const auto seed = static_cast<std::uint32_t>(argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1);
  horalux::testing::OffsetTimeServer server(offset, shortest, longest, seed);
  std::cout << server.Url() << std::endl;
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}
