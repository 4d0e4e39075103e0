#pragma once
// The scheme file (.qwscheme.json): schemes shared between people and databases, as UTF-8 JSON.
//
//   {"format": "quillwatch-schemes", "version": 1, "schemes": [{"name": ..., "category": ..., ...}, ...]}
//
// Every text of a scheme arrives byte for byte: a text is written only when its GBK bytes have a UTF-8 form
// that converts back to the same bytes, and read only when it has a GBK form. The same schemes always give
// the same file, so a file can be compared, kept under version control and exported again unchanged.

#include <string>
#include <string_view>
#include <vector>

#include "schemes/scheme_record.h"

namespace qw {

// The version this program writes and the newest it reads.
inline constexpr int kSchemeFileVersion = 1;
// Files larger than this are no scheme file a person made; reading one is refused before parsing.
inline constexpr std::size_t kSchemeFileLimit = 16u << 20;

struct SchemeFileText {
  std::string text;   // the file's bytes
  std::string error;  // GBK; empty on success
};

// The file for these schemes, in order. The cookie is written only with withCookie. Fails, naming the scheme
// and the field, when a text has no exact UTF-8 form (bytes the database holds that are no GBK character).
SchemeFileText WriteSchemeFile(const std::vector<SchemeRecord>& schemes, bool withCookie);

struct SchemeFileContents {
  std::vector<SchemeRecord> schemes;
  std::string error;  // GBK; empty on success
};

// The schemes of a file, checked whole: a file that is not JSON or not a scheme file, of a newer version,
// a scheme with a missing field, a text with no GBK form, an expression that does not compile or an index
// that is not a number is refused with one message that names the scheme and the field, and gives no schemes.
SchemeFileContents ReadSchemeFile(std::string_view bytes);

}  // namespace qw
