#include "handlers/waiting_text.h"

#include <cstddef>

#include "handlers/texts.h"

namespace horalux {
namespace {

// Long enough for any host a user types, short enough for a small window's line.
constexpr std::size_t kMaxShownCharacters = 40;

bool IsSchemeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// At most kMaxShownCharacters characters, never cut inside one, with "…" when cut; control
// characters become spaces so that the text stays on one line.
std::string Shortened(std::string_view text) {
  std::string shown;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsUtf8Continuation(text[i]) && ++characters > kMaxShownCharacters) {
      shown += "…";
      break;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    shown += (byte < 0x20 || byte == 0x7F) ? ' ' : text[i];
  }
  return shown;
}

}  // namespace

std::string HostForDisplay(std::string_view url) {
  const std::size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos || scheme_end == 0) return Shortened(url);
  for (const char c : url.substr(0, scheme_end)) {
    if (!IsSchemeCharacter(c)) return Shortened(url);
  }
  std::string_view authority = url.substr(scheme_end + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  if (authority.starts_with('[')) {
    // An IPv6 address keeps its brackets, which set it apart from the port.
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return Shortened(url);
    host = authority.substr(0, close + 1);
  } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
  }
  if (host.empty()) return Shortened(url);
  return Shortened(host);
}

std::string WaitingText(std::string_view url) {
  return std::string(texts::kWaitingBefore) + HostForDisplay(url) +
         std::string(texts::kWaitingAfter);
}

}  // namespace horalux
