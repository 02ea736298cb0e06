// Owning handles for libcurl's easy handle, header list and URL handle, so that every path out of
// a request, the error paths included, releases what it took.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace horalux {

namespace curl_detail {
struct EasyCleanup {
  void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
struct SlistCleanup {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
struct UrlCleanup {
  void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};
}  // namespace curl_detail

using CurlEasy = std::unique_ptr<CURL, curl_detail::EasyCleanup>;
using CurlUrl = std::unique_ptr<CURLU, curl_detail::UrlCleanup>;

// A list of request header lines as libcurl takes it. Appending never loses the list: on failure
// the old list is kept and an error is raised.
class CurlHeaderList {
 public:
  void Append(const char* line);
  curl_slist* get() const noexcept { return list_.get(); }

 private:
  std::unique_ptr<curl_slist, curl_detail::SlistCleanup> list_;
};

// A fresh easy handle; libcurl is initialised for the process on first use. Raises
// ErrorKind::kSystem when libcurl cannot be set up.
CurlEasy MakeCurlEasy();

// A fresh URL handle. Raises ErrorKind::kSystem when out of memory.
CurlUrl MakeCurlUrl();

}  // namespace horalux
