// 1,000 web time queries in one process against a local server, the way the window makes them:
// the process's handles and private bytes along the way, which must not grow after the first few.
//   horalux_bench_queries URL
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <cstddef>
#include <cstdio>
#include <exception>
#include <vector>

#include "runtime/datetime/text_forms.h"
#include "webtime/web_time.h"

namespace {

struct Usage {
  unsigned long handles = 0;
  SIZE_T private_bytes = 0;
};

// SystemExtendedHandleInformation: every handle of the system with its process. Wine answers it,
// where its GetProcessHandleCount always says 0.
constexpr auto kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
struct HandleEntry {
  PVOID object;
  ULONG_PTR process_id;
  ULONG_PTR handle;
  ULONG access;
  USHORT creator_back_trace_index;
  USHORT object_type_index;
  ULONG attributes;
  ULONG reserved;
};
struct HandleTable {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

unsigned long CountOwnHandles() {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ULONG needed = 0;
    const NTSTATUS status =
        NtQuerySystemInformation(kSystemExtendedHandleInformation, buffer.data(),
                                 static_cast<ULONG>(buffer.size()), &needed);
    if (status == 0) break;
    if (buffer.size() >= (64u << 20)) return 0;
    buffer.resize(buffer.size() * 2);
  }
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  unsigned long own = 0;
  for (ULONG_PTR i = 0; i < table->count; ++i) {
    if (table->entries[i].process_id == GetCurrentProcessId()) ++own;
  }
  return own;
}

Usage Measure() {
  Usage usage;
  usage.handles = CountOwnHandles();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  // The commit charge, the process's private bytes (Wine leaves PrivateUsage at 0).
  usage.private_bytes = counters.PagefileUsage;
  return usage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: horalux_bench_queries URL\n");
    return 2;
  }
  try {
    const horalux::TextForms forms = horalux::UserTextForms();
    Usage after_10;
    for (int query = 1; query <= 1000; ++query) {
      horalux::GetWebTime(argv[1], forms);
      if (query == 10 || query == 100 || query == 500 || query == 1000) {
        const Usage usage = Measure();
        if (query == 10) after_10 = usage;
        std::printf("after %4d queries: %6lu handles, %8zu KiB private\n", query, usage.handles,
                    static_cast<std::size_t>(usage.private_bytes / 1024));
        if (query == 1000) {
          std::printf(
              "growth from 10 to 1,000: %ld handles, %ld KiB private\n",
              static_cast<long>(usage.handles) - static_cast<long>(after_10.handles),
              (static_cast<long>(usage.private_bytes) - static_cast<long>(after_10.private_bytes)) /
                  1024);
        }
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
