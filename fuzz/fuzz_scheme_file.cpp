// Feeds arbitrary bytes to the scheme file reader. A file it takes must come through the writer exactly: the
// schemes written back read as the same schemes, and writing those again gives the same bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "schemes/scheme_file.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const qw::SchemeFileContents read =
      qw::ReadSchemeFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read.error.empty()) {
    if (!read.schemes.empty()) Fail("a refused file gave schemes");
    return 0;
  }
  const qw::SchemeFileText written = qw::WriteSchemeFile(read.schemes, /*withCookie=*/true);
  if (!written.error.empty()) Fail("a scheme read from a file could not be written");
  const qw::SchemeFileContents again = qw::ReadSchemeFile(written.text);
  if (!again.error.empty()) Fail("a written file was refused");
  if (again.schemes != read.schemes) Fail("the schemes changed on their way through a file");
  if (qw::WriteSchemeFile(again.schemes, true).text != written.text)
    Fail("the same schemes gave another file");
  return 0;
}
