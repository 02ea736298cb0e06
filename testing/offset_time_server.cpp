#include "testing/offset_time_server.h"

#include <cstdio>
#include <thread>

namespace horalux::testing {

std::string HttpDate(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  static constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const auto second = floor<seconds>(time);
  const auto day = floor<days>(second);
  const year_month_day date{day};
  const hh_mm_ss<seconds> clock_time{second - day};
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                kWeekdays[weekday{day}.c_encoding()], static_cast<unsigned>(date.day()),
                kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                static_cast<int>(clock_time.hours().count()),
                static_cast<int>(clock_time.minutes().count()),
                static_cast<int>(clock_time.seconds().count()));
  return text;
}

OffsetTimeServer::OffsetTimeServer(std::chrono::microseconds offset,
                                   std::chrono::milliseconds shortest,
                                   std::chrono::milliseconds longest, std::uint32_t seed)
    : offset_(offset),
      random_(seed),
      delay_us_(std::chrono::microseconds(shortest).count(),
                std::chrono::microseconds(longest).count()),
      server_([this](const ReceivedRequest&) { return Answer(); }) {}

std::chrono::microseconds OffsetTimeServer::Delay() {
  return std::chrono::microseconds(delay_us_(random_));
}

Reply OffsetTimeServer::Answer() {
  // The server answers one request at a time, so the wait here holds up no other answer that
  // the tests measure.
  std::this_thread::sleep_for(Delay());
  const auto now = std::chrono::system_clock::now() + offset_;
  Reply reply = Reply::KeptAlive(200, {"Date: " + HttpDate(now)});
  // The loopback server waits in whole milliseconds; the rest is waited here.
  const std::chrono::microseconds back = Delay();
  const auto whole = std::chrono::floor<std::chrono::milliseconds>(back);
  std::this_thread::sleep_for(back - whole);
  reply.delay = whole;
  return reply;
}

}  // namespace horalux::testing
