#pragma once
// Importing the schemes of a scheme file into the database: first a plan (what the file holds, and which of
// its schemes the database already has), then storing the ones the person chose, all or nothing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schemes/scheme_record.h"

namespace qw {

class Connection;
class SettingsFile;

struct ImportCandidate {
  SchemeRecord scheme;
  // The first scheme of the database with the same address and expression, byte for byte.
  std::optional<int> equalId;
};

struct ImportPlan {
  std::vector<ImportCandidate> candidates;
  std::string error;  // GBK; empty when the file was read whole
  // The error is the file's (refused as bad input), not the database's.
  bool fileRefused = false;
};

// Reads and checks the file, then looks each scheme up in the database. A file that is refused, or a
// database whose schemes cannot be read, gives no candidates and the reason.
ImportPlan PlanImport(Connection& connection, std::string_view fileBytes);

struct ImportOutcome {
  bool ok = false;
  std::string error;  // GBK
  // The new schemes' ids, in the file's order.
  std::vector<int> ids;
  // The categories added to the end of the list, and the whole list after them.
  std::vector<std::string> addedCategories;
  std::vector<std::string> categories;
};

// Stores the candidates whose entry of add is true, as new schemes: unticked, without a last-article marker,
// each with its options. A category the list lacks is added to its end in the settings file first; the
// schemes then go in one transaction. When anything fails, nothing of the file is stored and the category
// list is put back as it was. The connection must be one no other thread uses meanwhile (the options
// window's, or a tool's own).
ImportOutcome ImportSchemes(Connection& connection, SettingsFile& settings, const ImportPlan& plan,
                            const std::vector<bool>& add);

}  // namespace qw
