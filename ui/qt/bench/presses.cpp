// Steady state of the set-clock command: presses the button of the shown window 1,000 times
// against a loopback server with an in-memory clock and compares memory and open descriptors
// after the first 10 presses with those after the run. Prints the figures; judging them is the
// caller's part.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "handlers/message_box.h"
#include "runtime/clock/clock.h"
#include "runtime/datetime/text_forms.h"
#include "testing/time_server.h"
#include "ui/qt/form1.h"
#include "webtime/web_time.h"

namespace {

// Counts instead of remembering, so that the harness itself does not grow.
class CountingClock : public horalux::Clock {
 public:
  void SetLocalDate(std::chrono::year_month_day) override { ++dates; }
  void SetLocalTimeOfDay(std::chrono::seconds) override { ++times; }
  void AdjustBy(std::chrono::microseconds) override {}
  long dates = 0;
  long times = 0;
};

class CountingMessageBox : public horalux::MessageBoxService {
 public:
  void Show(std::string_view) override { ++prompts; }
  void ReportError(const horalux::Error& error) override {
    ++errors;
    std::fprintf(stderr, "%s\n", error.what());
  }
  long prompts = 0;
  long errors = 0;
};

long ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long OpenDescriptors() {
  // A press ends as soon as the response's headers are in; the server's thread closes its end
  // of the connection a moment later. Counted before then, that socket would look like a leak.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  long count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count - 1;  // the directory being read
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  horalux::testing::TimeServer server(horalux::testing::LoopbackServer::Memory::kCountOnly);
  const horalux::TextForms forms = horalux::TextFormsForLocale("C.UTF-8");
  CountingClock clock;
  CountingMessageBox boxes;
  horalux::Form1 window(boxes, clock, forms,
                        [&forms](std::string_view url) { return horalux::GetWebTime(url, forms); });
  window.findChild<QLineEdit*>("Text2")->setText(QString::fromStdString(server.Url()));
  auto* button = window.findChild<QPushButton*>("Command1");
  // Shown, so that each press waits for its request the way it does for the user: on a thread of
  // its own while the window's events go on. Showing makes the start-up request.
  window.show();
  const int start_up_requests = server.requests();

  const auto press = [&](int times) {
    for (int i = 0; i < times; ++i) {
      button->click();
      QApplication::processEvents();
    }
  };
  press(10);
  const long rss_after_10 = ResidentKib();
  const long fds_after_10 = OpenDescriptors();
  const auto start = std::chrono::steady_clock::now();
  press(990);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long rss_after_1000 = ResidentKib();
  const long fds_after_1000 = OpenDescriptors();

  std::printf("presses: 1000, requests: %d, dates set: %ld, times set: %ld, errors: %ld\n",
              server.requests() - start_up_requests, clock.dates, clock.times, boxes.errors);
  std::printf("RSS after 10 presses: %ld KiB, after 1000: %ld KiB, growth: %ld KiB\n", rss_after_10,
              rss_after_1000, rss_after_1000 - rss_after_10);
  std::printf("open descriptors after 10 presses: %ld, after 1000: %ld, growth: %ld\n",
              fds_after_10, fds_after_1000, fds_after_1000 - fds_after_10);
  std::printf("mean press: %.2f ms\n", seconds * 1000 / 990);
  return boxes.errors == 0 && clock.times == 1000 ? 0 : 1;
}
