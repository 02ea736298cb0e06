// A new directory under the system's temporary directory, removed with all it holds when its
// owner goes.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace horalux::testing {

class TemporaryDirectory {
 public:
  // Named `prefix` and six random characters.
  explicit TemporaryDirectory(const std::string& prefix)
      : path_((std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string()) {
    if (::mkdtemp(path_.data()) == nullptr) {
      throw std::runtime_error("mkdtemp " + path_ + ": " + std::strerror(errno));
    }
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace horalux::testing
