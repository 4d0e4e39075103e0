#include "support/temp_dir.h"

#include <stdlib.h>

#include <stdexcept>
#include <string>

namespace qw::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillwatch-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace qw::test
