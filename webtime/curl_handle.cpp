#include "webtime/curl_handle.h"

#include <string>

#include "runtime/base/error.h"
#include "webtime/curl_error.h"

namespace horalux {
namespace {

// libcurl wants curl_global_init before the first handle, and curl_global_cleanup after the last.
// A function-local static does the first exactly once, thread-safely, without state of ours that
// anything could change; its destructor does the second when the program ends, after every
// request (each lives within one call) has been released.
class CurlLibrary {
 public:
  CurlLibrary() noexcept : init_result_(curl_global_init(CURL_GLOBAL_DEFAULT)) {}
  ~CurlLibrary() {
    if (init_result_ == CURLE_OK) curl_global_cleanup();
  }
  CurlLibrary(const CurlLibrary&) = delete;
  CurlLibrary& operator=(const CurlLibrary&) = delete;

  CURLcode init_result() const noexcept { return init_result_; }

 private:
  const CURLcode init_result_;
};

const CurlLibrary& Library() {
  static const CurlLibrary library;
  return library;
}

}  // namespace

void CurlHeaderList::Append(const char* line) {
  curl_slist* longer = curl_slist_append(list_.get(), line);
  if (longer == nullptr) {
    throw Error(ErrorKind::kSystem, "内存不足，无法准备 HTTP 请求头");
  }
  // curl_slist_append returns the head it was given (or a new one when that was empty).
  (void)list_.release();
  list_.reset(longer);
}

CurlEasy MakeCurlEasy() {
  if (const CURLcode code = Library().init_result(); code != CURLE_OK) {
    throw CurlSetupError(code, "无法初始化 libcurl");
  }
  CurlEasy easy(curl_easy_init());
  if (!easy)
    throw Error(ErrorKind::kSystem, "无法创建 HTTP 请求（libcurl 初始化失败），内存可能不足");
  return easy;
}

CurlUrl MakeCurlUrl() {
  // Library() first: URL handles, too, belong to an initialised libcurl.
  (void)Library();
  CurlUrl url(curl_url());
  if (!url) throw Error(ErrorKind::kSystem, "内存不足，无法解析网址");
  return url;
}

}  // namespace horalux
