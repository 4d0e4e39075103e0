#pragma once
// One scheme as it travels between databases in a scheme file: everything a person sets for it, and nothing
// monitoring wrote (the last-article marker, the last id, the times) nor where it was ticked.

#include <optional>
#include <string>

#include "extract/collect_scheme.h"
#include "storage/scheme_options.h"

namespace qw {

// Every text in GBK, as the database holds it.
struct SchemeRecord {
  std::string name;
  // The name of the scheme's category; empty when its number names no category.
  std::string category;
  bool gbk = true;  // the page's encoding: GBK, or UTF-8
  std::string url;
  std::string cookie;
  std::string agent;
  std::string before;
  std::string after;
  std::string expression;
  std::string urlTemplate;
  // A group number, or nothing where the box was left empty.
  std::optional<int> titleIndex;
  std::optional<int> idIndex;
  std::optional<int> spareIndex;
  int mode = kNewestOnTop;
  SchemeOptions options;

  bool operator==(const SchemeRecord&) const = default;
};

}  // namespace qw
