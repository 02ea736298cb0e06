#include "schedule/defaults_file.h"

#include <cstddef>
#include <optional>

#include "runtime/base/error.h"

namespace horalux {
namespace {

constexpr std::string_view kUrlsVariable = "HORALUX_URLS";
constexpr std::string_view kOptionsVariable = "HORALUX_OPTIONS";

std::vector<std::string_view> Lines(std::string_view file) {
  std::vector<std::string_view> lines;
  while (!file.empty()) {
    const std::size_t end = file.find('\n');
    lines.push_back(file.substr(0, end));
    file = end == std::string_view::npos ? std::string_view() : file.substr(end + 1);
  }
  return lines;
}

std::string_view TrimmedStart(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

// The value after "NAME=" where the line sets `name`; none where it does not.
std::optional<std::string_view> ValueSet(std::string_view line, std::string_view name) {
  line = TrimmedStart(line);
  if (line.starts_with("export ")) line = TrimmedStart(line.substr(7));
  if (!line.starts_with(name) || line.substr(name.size()).find('=') != 0) return std::nullopt;
  return line.substr(name.size() + 1);
}

bool IsExample(std::string_view line, std::string_view name) {
  line = TrimmedStart(line);
  return line.starts_with('#') && ValueSet(line.substr(1), name).has_value();
}

// One word for a double-quoted value, where the service's environment file takes a dollar sign
// only escaped.
std::string EscapedWord(std::string_view word, std::string_view what) {
  std::string quoted;
  for (const char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7f || c == '"' || c == '\\' || c == '`') {
      throw Error(ErrorKind::kInvalidUrl, std::string(what) + Quoted(word) +
                                              "含有空白、控制字符、引号或反斜杠，不能写入 " +
                                              std::string(kDefaultsFile) + "。请检查网址");
    }
    if (c == '$') quoted += '\\';
    quoted += c;
  }
  return quoted;
}

// Sets `name` in `lines` to `value` (a quoted text).
void Set(std::vector<std::string>& lines, std::string_view name, const std::string& value) {
  const std::string line = std::string(name) + "=" + value;
  std::optional<std::size_t> at;
  for (std::size_t i = 0; i < lines.size() && !at; ++i) {
    if (ValueSet(lines[i], name)) at = i;
  }
  for (std::size_t i = 0; i < lines.size() && !at; ++i) {
    if (IsExample(lines[i], name)) at = i;
  }
  if (!at) {
    lines.push_back(line);
    return;
  }
  lines[*at] = line;
  for (std::size_t i = lines.size(); i-- > *at + 1;) {
    if (ValueSet(lines[i], name)) lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

}  // namespace

std::string WithSchedule(std::string_view file, const std::vector<std::string>& urls,
                         std::string_view proxy) {
  // The value in double quotes, the words separated by spaces.
  std::string words = "\"";
  for (const std::string& url : urls) {
    if (words.size() > 1) words += ' ';
    words += EscapedWord(url, "网址");
  }
  words += '"';
  std::vector<std::string> lines;
  for (const std::string_view line : Lines(file)) lines.emplace_back(line);
  Set(lines, kUrlsVariable, words);
  if (!proxy.empty()) {
    std::string options = "\"--proxy ";
    options += EscapedWord(proxy, "代理");
    options += '"';
    Set(lines, kOptionsVariable, options);
  }
  std::string result;
  for (const std::string& line : lines) result += line + "\n";
  return result;
}

std::vector<std::string> ScheduledUrls(std::string_view file) {
  std::optional<std::string_view> value;
  for (const std::string_view line : Lines(file)) {
    if (const auto set = ValueSet(line, kUrlsVariable)) value = set;
  }
  std::vector<std::string> urls;
  if (!value) return urls;
  std::string word;
  for (const char c : *value) {
    if (c == '"' || c == '\\') continue;
    if (c == ' ' || c == '\t') {
      if (!word.empty()) urls.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) urls.push_back(std::move(word));
  return urls;
}

}  // namespace horalux
