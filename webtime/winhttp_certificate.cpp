#include "webtime/winhttp_certificate.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"

namespace horalux {
namespace {

struct ChainEngineCloser {
  void operator()(HCERTCHAINENGINE engine) const noexcept {
    ::CertFreeCertificateChainEngine(engine);
  }
};
using ChainEngine = std::unique_ptr<std::remove_pointer_t<HCERTCHAINENGINE>, ChainEngineCloser>;

struct ChainReleaser {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const noexcept { ::CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainReleaser>;

struct CertificateReleaser {
  void operator()(PCCERT_CONTEXT certificate) const noexcept {
    ::CertFreeCertificateContext(certificate);
  }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateReleaser>;

[[noreturn]] void ThrowUnreadable(const std::string& path, std::string_view why) {
  throw Error(ErrorKind::kTls, "无法使用 CA 证书文件 " + Quoted(path) + "：" + std::string(why));
}

}  // namespace

CertificateStore LoadPemCertificates(const std::string& path) {
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::ifstream in(file, std::ios::binary);
  if (!in) ThrowUnreadable(path, "文件无法打开");
  const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  CertificateStore store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!store) ThrowUnreadable(path, "无法创建证书存储");
  constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
  constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  int added = 0;
  for (std::size_t begin = pem.find(kBegin); begin != std::string::npos;
       begin = pem.find(kBegin, begin + kBegin.size())) {
    const std::size_t end = pem.find(kEnd, begin);
    if (end == std::string::npos) break;
    const std::string_view block(pem.data() + begin, end + kEnd.size() - begin);
    DWORD size = 0;
    if (!::CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                                CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
      continue;
    }
    std::vector<BYTE> der(size);
    if (::CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                               CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) &&
        ::CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                           CERT_STORE_ADD_ALWAYS, nullptr)) {
      ++added;
    }
  }
  if (added == 0) ThrowUnreadable(path, "其中没有可用的证书");
  return store;
}

bool ChainsToOwnRoots(PCCERT_CONTEXT server, HCERTSTORE roots, std::wstring_view host) {
  CERT_CHAIN_ENGINE_CONFIG config{};
  // The structure as Windows 7 knows it, up to the exclusive stores, whatever the headers
  // declare after them: Windows 7 and Wine refuse a larger one, later systems take it.
  config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveTrustedPeople) + sizeof(HCERTSTORE);
  config.hExclusiveRoot = roots;
  HCERTCHAINENGINE raw_engine = nullptr;
  if (!::CertCreateCertificateChainEngine(&config, &raw_engine)) return false;
  const ChainEngine engine(raw_engine);

  char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
  char* usages[] = {server_auth};
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
  parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT raw_chain = nullptr;
  if (!::CertGetCertificateChain(engine.get(), server, nullptr, server->hCertStore, &parameters, 0,
                                 nullptr, &raw_chain)) {
    return false;
  }
  const Chain chain(raw_chain);
  constexpr DWORD kDateFaults = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_CTL_IS_NOT_TIME_VALID;
  if ((chain->TrustStatus.dwErrorStatus & ~kDateFaults) != 0) return false;

  // The policy checks the host name against the certificate's names.
  std::wstring server_name(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = 0x00002000;  // SECURITY_FLAG_IGNORE_CERT_DATE_INVALID in winhttp.h
  ssl.pwszServerName = server_name.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_NOT_TIME_VALID_FLAGS;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  return ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status) &&
         status.dwError == 0;
}

bool ServerChainsToOwnRoots(HINTERNET request, HCERTSTORE roots, std::string_view host) {
  PCCERT_CONTEXT raw = nullptr;
  DWORD size = sizeof raw;
  if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &raw, &size)) return true;
  const Certificate certificate(raw);
  const std::optional<std::wstring> wide_host = Utf8ToWide(host);
  return wide_host && ChainsToOwnRoots(certificate.get(), roots, *wide_host);
}

}  // namespace horalux
