// The header fields of an HTTP response, gathered line by line as they arrive, whatever does the
// transfer: interim (1xx) responses and redirects are dropped as the next response begins.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace horalux {

// The request methods the component sends, from the names callers give (any case). Any other
// name raises std::logic_error.
enum class HttpMethod { kGet, kHead, kPost };
HttpMethod ParseHttpMethod(std::string_view name);

class ResponseHeaders {
 public:
  // Takes one raw header line ("HTTP/1.1 200 OK\r\n", "Date: ...\r\n", or the blank line that
  // ends a response's headers). Returns false once the final response's headers are complete:
  // a blank line that ends neither an interim response, nor a redirect with a Location, nor a
  // proxy's 407 with a Proxy-Authenticate challenge.
  bool TakeLine(std::string_view line);

  bool complete() const { return complete_; }
  // The status code of the latest response begun; 0 before one, or for a malformed status line.
  int status() const { return status_; }
  // For a transfer that learns by other means that the final response's headers are all in.
  void MarkComplete() { complete_ = true; }
  void Clear();

  // The value of header `name`, matched without regard to case, its bytes taken as ISO-8859-1
  // characters and returned as UTF-8, surrounding blanks removed; repeated headers joined with
  // ", ". Empty when there is no such header.
  std::string Value(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
  int status_ = 0;
  bool complete_ = false;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace horalux
