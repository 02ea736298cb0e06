// The one place where libcurl's result codes become the program's errors: each failure is one of
// the RequestFailure causes, with libcurl's own text added.
#pragma once

#include <curl/curl.h>

#include <string_view>

#include "runtime/base/error.h"

namespace horalux {

// A failed exchange with `host`, reached by redirection from `first_host` unless that is empty,
// through `proxy` ("proxy.example:8080") unless that is empty. `curl_text` is libcurl's error
// buffer; when it is empty the generic text of `code` is used.
Error CurlTransferError(CURLcode code, std::string_view host, std::string_view curl_text,
                        std::string_view first_host = {}, std::string_view proxy = {});

// libcurl could not be set up for a request (an option refused, out of memory): `what` says
// which step failed.
Error CurlSetupError(CURLcode code, std::string_view what);

// libcurl's URL parser refused `url`. Control characters in it are shown as \xNN.
Error CurlUrlError(CURLUcode code, std::string_view url);

}  // namespace horalux
