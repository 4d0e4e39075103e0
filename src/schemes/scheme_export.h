#pragma once
// Exporting schemes from the database into a scheme file.

#include <string>
#include <vector>

#include "schemes/scheme_record.h"

namespace qw {

class Connection;

struct SchemeRecords {
  std::vector<SchemeRecord> schemes;
  std::string error;  // GBK; empty on success
};

// The schemes of ids, in that order (every scheme by id when ids is empty), with their options. A scheme's
// category number becomes the name it has in categories (the category list, class 1 first). Fails when the
// database cannot be read or an id names no scheme.
SchemeRecords ReadSchemeRecords(Connection& connection, const std::vector<std::string>& categories,
                                const std::vector<int>& ids);

struct SchemeExport {
  std::string text;   // the file's bytes
  std::string error;  // GBK; empty on success
  int count = 0;
};

// The scheme file of those schemes; the cookie only with withCookie.
SchemeExport ExportSchemes(Connection& connection, const std::vector<std::string>& categories,
                           const std::vector<int>& ids, bool withCookie);

}  // namespace qw
