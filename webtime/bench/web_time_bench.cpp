// Measures GetWebTime against a bare libcurl POST that reads the same header, both on the same
// loopback server in the same run, and prints the ratio. With "leaks N" it makes N calls instead
// and reports whether any file descriptor is left open; run that mode under valgrind to see that
// no memory is lost either.
#include <curl/curl.h>
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/base/error.h"
#include "runtime/datetime/form_builder.h"
#include "testing/loopback_server.h"
#include "testing/proxy_environment.h"
#include "webtime/web_time.h"

namespace {

using horalux::testing::LoopbackServer;
using horalux::testing::ReceivedRequest;
using horalux::testing::Reply;
using Clock = std::chrono::steady_clock;

Reply DateReply(const ReceivedRequest&) {
  return Reply::Response(200, {"Date: Sun, 06 Nov 1994 08:49:37 GMT", "Server: bench"});
}

std::size_t KeepDateLine(char* data, std::size_t size, std::size_t count, void* date) {
  const std::string_view line(data, size * count);
  if (line.size() > 5 && (line.substr(0, 5) == "Date:" || line.substr(0, 5) == "date:")) {
    *static_cast<std::string*>(date) = line.substr(5);
  }
  return size * count;
}

std::size_t IgnoreBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// The least a libcurl program does for the same answer: a fresh handle, a POST with an empty
// body, the Date line picked out of the headers.
std::string BareCurlDate(const std::string& url) {
  CURL* easy = curl_easy_init();
  if (easy == nullptr) throw std::runtime_error("curl_easy_init failed");
  std::string date;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &KeepDateLine);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &date);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &IgnoreBody);
  const CURLcode code = curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  if (code != CURLE_OK) throw std::runtime_error(curl_easy_strerror(code));
  return date;
}

double MicrosecondsPerCall(int calls, const std::function<void()>& call) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) call();
  const std::chrono::duration<double, std::micro> elapsed = Clock::now() - start;
  return elapsed.count() / calls;
}

int Compare(int calls) {
  LoopbackServer server(&DateReply);
  const std::string url = server.Url();
  const horalux::TextForms forms = horalux::IsoTextForms();
  std::printf("GetWebTime gives %s\n", horalux::GetWebTime(url, forms).c_str());

  // Alternate the two in rounds and keep each one's best round, so that a busy moment of the
  // machine does not count against either.
  constexpr int kRounds = 7;
  double best_web_time = 1e300;
  double best_bare = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    best_bare = std::min(best_bare, MicrosecondsPerCall(calls, [&] { BareCurlDate(url); }));
    best_web_time = std::min(best_web_time,
                             MicrosecondsPerCall(calls, [&] { horalux::GetWebTime(url, forms); }));
  }
  const double ratio = best_web_time / best_bare;
  std::printf("bare libcurl POST + header: %9.1f us per call (best of %d rounds of %d)\n",
              best_bare, kRounds, calls);
  std::printf("GetWebTime:                 %9.1f us per call (best of %d rounds of %d)\n",
              best_web_time, kRounds, calls);
  std::printf("ratio GetWebTime / bare:    %9.3f (target <= 1.10)\n", ratio);
  return 0;
}

std::set<std::string> OpenDescriptors() {
  std::set<std::string> descriptors;
  DIR* directory = opendir("/proc/self/fd");
  if (directory == nullptr) throw std::runtime_error("cannot list /proc/self/fd");
  const int own = dirfd(directory);
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || name == std::to_string(own)) continue;
    char target[4096] = {};
    const std::string path = "/proc/self/fd/" + name;
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    descriptors.insert(name + " -> " +
                       (length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "?"));
  }
  closedir(directory);
  return descriptors;
}

int Leaks(int calls) {
  const horalux::TextForms forms = horalux::IsoTextForms();
  const std::set<std::string> before = OpenDescriptors();
  {
    LoopbackServer server(&DateReply);
    LoopbackServer silent([](const ReceivedRequest&) { return Reply::Silence(); });
    const horalux::HttpRequestOptions short_wait{
        std::chrono::milliseconds(200), std::chrono::milliseconds(200), {}};
    int failures = 0;
    for (int i = 0; i < calls; ++i) {
      horalux::GetWebTime(server.Url(), forms);
      // Now and then a failing call too: the error paths must release everything as well.
      if (i % 100 == 0) {
        try {
          horalux::GetWebTime(silent.Url(), forms, short_wait);
        } catch (const horalux::Error&) {
          ++failures;
        }
        try {
          horalux::GetWebTime("http://127.0.0.1:1/", forms);
        } catch (const horalux::Error&) {
          ++failures;
        }
      }
    }
    std::printf("%d calls made, %d failing calls among them\n", calls, failures);
  }
  const std::set<std::string> after = OpenDescriptors();
  std::printf("open descriptors before: %zu, after: %zu\n", before.size(), after.size());
  int left_open = 0;
  for (const std::string& descriptor : after) {
    std::printf("  %s %s\n",
                before.count(descriptor) ? "          " : "LEFT OPEN:", descriptor.c_str());
    if (!before.count(descriptor)) ++left_open;
  }
  return left_open == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "compare";
  const int calls = argc > 2 ? std::atoi(argv[2]) : 0;
  horalux::testing::ScopedEnvironment no_proxies(horalux::testing::WithoutProxies());
  try {
    if (mode == "compare") return Compare(calls > 0 ? calls : 200);
    if (mode == "leaks") return Leaks(calls > 0 ? calls : 1000);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  std::fprintf(stderr, "usage: %s [compare [calls] | leaks [calls]]\n", argv[0]);
  return 2;
}
