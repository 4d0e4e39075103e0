#pragma once
// The links of a page and the lists they form: for every element whose children repeat (the rows of a table,
// the items of a list, the blocks of a news column), the links found at the same place in many of its rows.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "propose/page_model.h"

namespace qw::propose {

struct Link {
  std::int32_t element = -1;  // the <a>
  std::int32_t row = -1;      // set per group: the container's child that holds it
  const Attribute* href = nullptr;
  std::string_view hrefText;  // as the page writes it
  std::string url;            // as a browser would open it
  std::int32_t firstText = -1;
  std::int32_t longestText = -1;
  // The text that reads as the link's title: one in a heading or a title-like element, else the longest.
  std::int32_t titleText = -1;
  // Tags between the start tag and the title text.
  int tagsBeforeTitle = 0;
  int textCount = 0;
  bool plain = false;  // nothing inside but one text
  std::string_view titleAttribute;
};

struct LinkGroup {
  std::int32_t container = -1;
  std::vector<Link> links;  // page order, each address once
  double score = 0;
};

// The page's links to pages (not to scripts, mail or places on the same page).
std::vector<Link> PageLinks(const PageModel& model, std::string_view address);

// The repeated link lists, best first, at most `limit`. A list needs three links at least.
std::vector<LinkGroup> RepeatedLinkGroups(const PageModel& model, const std::vector<Link>& links,
                                          std::string_view address, std::size_t limit);

// The text of a link as the list shows it: its title text, trimmed of white space.
std::string_view LinkText(const PageModel& model, const Link& link);
// White space (as the expressions' \s reads it) off both ends.
std::string_view TrimSpace(std::string_view text);

}  // namespace qw::propose
