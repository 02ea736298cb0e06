#include "webtime/redirect.h"

#include <optional>
#include <vector>

namespace horalux {
namespace {

// A URI reference split as RFC 3986 appendix B does; a missing part is nothing, not empty.
struct Reference {
  std::optional<std::string_view> scheme;
  std::optional<std::string_view> authority;
  std::string_view path;
  std::optional<std::string_view> query;
};

bool IsSchemeCharacter(char c, bool first) {
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return letter;
  return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

Reference Split(std::string_view text) {
  Reference parts;
  text = text.substr(0, text.find('#'));
  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos && colon > 0 && colon < text.find_first_of("/?")) {
    bool well_formed = true;
    for (std::size_t i = 0; i < colon; ++i) well_formed &= IsSchemeCharacter(text[i], i == 0);
    if (well_formed) {
      parts.scheme = text.substr(0, colon);
      text.remove_prefix(colon + 1);
    }
  }
  if (text.starts_with("//")) {
    text.remove_prefix(2);
    const std::size_t end = std::min(text.find_first_of("/?"), text.size());
    parts.authority = text.substr(0, end);
    text.remove_prefix(end);
  }
  const std::size_t question = text.find('?');
  if (question != std::string_view::npos) {
    parts.query = text.substr(question + 1);
    text = text.substr(0, question);
  }
  parts.path = text;
  return parts;
}

// RFC 3986 section 5.2.4: "." and ".." segments taken out.
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  const bool absolute = path.starts_with('/');
  if (absolute) path.remove_prefix(1);
  bool ends_in_directory = false;
  while (true) {
    const std::size_t slash = path.find('/');
    const std::string_view segment = path.substr(0, slash);
    ends_in_directory = segment == "." || segment == "..";
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (segment != ".") {
      kept.push_back(segment);
    }
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  std::string result = absolute ? "/" : "";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result += '/';
    result += kept[i];
  }
  if (ends_in_directory && !kept.empty()) result += '/';
  return result;
}

}  // namespace

HttpMethod MethodAfterRedirect(HttpMethod method, int status) {
  if (method == HttpMethod::kPost && (status == 301 || status == 302 || status == 303)) {
    return HttpMethod::kGet;
  }
  return method;
}

std::string ResolveLocation(std::string_view base, std::string_view location) {
  const Reference b = Split(base);
  const Reference r = Split(location);
  std::string_view scheme = b.scheme.value_or("");
  std::optional<std::string_view> authority = b.authority;
  std::string path;
  std::optional<std::string_view> query = r.query;
  if (r.scheme) {
    scheme = *r.scheme;
    authority = r.authority;
    path = RemoveDotSegments(r.path);
  } else if (r.authority) {
    authority = r.authority;
    path = RemoveDotSegments(r.path);
  } else if (r.path.empty()) {
    path = b.path;
    if (!query) query = b.query;
  } else if (r.path.starts_with('/')) {
    path = RemoveDotSegments(r.path);
  } else {
    // Merged with the base's path up to its last slash (section 5.2.3).
    std::string merged;
    if (b.authority && b.path.empty()) {
      merged = "/";
    } else {
      const std::size_t slash = b.path.rfind('/');
      if (slash != std::string_view::npos) merged = b.path.substr(0, slash + 1);
    }
    merged += r.path;
    path = RemoveDotSegments(merged);
  }
  std::string result(scheme);
  result += ':';
  if (authority) {
    result += "//";
    result += *authority;
  }
  result += path;
  if (query) {
    result += '?';
    result += *query;
  }
  return result;
}

}  // namespace horalux
