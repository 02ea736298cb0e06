// Starts a program and watches the X server from outside it: prints the milliseconds from exec
// until a top-level window with the given title is mapped, and the program's peak resident set
// at that point, then ends the program. Fails if the program ends first or shows no such window
// within 30 seconds.
//   horalux_bench_launch <title> <program> [arguments...]
// Prints: <milliseconds> <peak RSS in KiB>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <xcb/xcb.h>

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string Title(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                  xcb_atom_t type) {
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, property, type, 0, 256), nullptr));
  if (!reply) return {};
  return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

long PeakRssKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <title> <program> [arguments...]\n", argv[0]);
    return 2;
  }
  const std::string wanted_title = argv[1];
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    std::fprintf(stderr, "cannot reach the X server\n");
    return 1;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
  const xcb_atom_t net_wm_name = Atom(connection, "_NET_WM_NAME");
  const xcb_atom_t utf8_string = Atom(connection, "UTF8_STRING");
  xcb_flush(connection);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(argv[2], argv + 2);
    _exit(127);
  }

  // A program that ends, or never shows its box, must not leave the benchmark waiting for ever.
  const auto give_up = start + std::chrono::seconds(30);
  double milliseconds = -1;
  bool ended = false;
  pollfd x_server{xcb_get_file_descriptor(connection), POLLIN, 0};
  while (!ended && std::chrono::steady_clock::now() < give_up) {
    xcb_generic_event_t* raw = xcb_poll_for_event(connection);
    if (raw == nullptr) {
      if (xcb_connection_has_error(connection)) break;
      ended = waitpid(pid, nullptr, WNOHANG) == pid;
      poll(&x_server, 1, 50);
      continue;
    }
    std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(raw);
    if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
    // The moment the map is seen, not after the round trips that read the title.
    const auto mapped_at = std::chrono::steady_clock::now();
    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
    if (Title(connection, map->window, net_wm_name, utf8_string) == wanted_title ||
        Title(connection, map->window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) == wanted_title) {
      milliseconds = std::chrono::duration<double, std::milli>(mapped_at - start).count();
      break;
    }
  }
  if (milliseconds < 0) {
    std::fprintf(stderr, "%s %s\n", argv[2],
                 ended ? "ended before its box was mapped" : "showed no box in time");
    if (!ended) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    xcb_disconnect(connection);
    return 1;
  }
  // Let the box draw itself before reading the peak, as a user would see it.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const long peak = PeakRssKib(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  xcb_disconnect(connection);
  std::printf("%.1f %ld\n", milliseconds, peak);
  return 0;
}
