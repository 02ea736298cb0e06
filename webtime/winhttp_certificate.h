// Windows only: the check of a server's certificate against certificate authorities of the
// caller's own (HttpRequestOptions::ca_file) in place of the system's roots.
#pragma once

#include <windows.h>

#include <wincrypt.h>
#include <winhttp.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace horalux {

struct CertificateStoreCloser {
  void operator()(HCERTSTORE store) const noexcept { ::CertCloseStore(store, 0); }
};
using CertificateStore = std::unique_ptr<std::remove_pointer_t<HCERTSTORE>, CertificateStoreCloser>;

// The certificates of a PEM file, in a store in memory. Raises ErrorKind::kTls naming the file
// when it cannot be read or holds no certificate.
CertificateStore LoadPemCertificates(const std::string& path);

// Whether `server` chains to one of `roots` and to nothing else, every signature holds and it is
// for `host`, whatever the dates (the local clock may be the very thing that is wrong).
bool ChainsToOwnRoots(PCCERT_CONTEXT server, HCERTSTORE roots, std::wstring_view host);

// ChainsToOwnRoots for the certificate the server of `request` showed, once its connection is up
// (WINHTTP_CALLBACK_STATUS_SENDING_REQUEST); `host` is UTF-8. True for a request over plain http,
// which has no certificate.
bool ServerChainsToOwnRoots(HINTERNET request, HCERTSTORE roots, std::string_view host);

}  // namespace horalux
