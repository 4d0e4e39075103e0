#pragma once
// Proposing schemes for a list page: the page's repeated article links found with an HTML5 parser, and for
// the best lists a scheme that the monitoring pass would run to store exactly those articles.

#include <string_view>
#include <vector>

#include "propose/proposal.h"

namespace qw::propose {

inline constexpr std::size_t kMostProposals = 5;

struct Proposals {
  enum Outcome {
    kFound,           // candidates, best first
    kEmptyPage,       // nothing to look at (a fetch that failed gives an empty page)
    kNothingRepeats,  // no list of article links repeats on the page
    kTooDeep,         // elements nested beyond anything a browser lays out
  };
  Outcome outcome = kNothingRepeats;
  std::vector<ProposedScheme> candidates;
};

// page: GBK text as the monitoring pass sees it (converted and flattened); address: where the page lives,
// against which relative links are made whole (empty keeps them as the page writes them).
Proposals ProposeSchemes(std::string_view page, std::string_view address);

}  // namespace qw::propose
