#pragma once
// From one repeated link list of a page to a scheme that collects exactly its articles: the markers around
// the list, the expression that matches one article, the address template and the judging mode. Tried
// through the monitoring pass's own steps before it is offered.

#include <optional>
#include <string_view>

#include "propose/link_groups.h"
#include "propose/page_model.h"
#include "propose/proposal.h"

namespace qw::propose {

std::optional<ProposedScheme> BuildScheme(const PageModel& model, const LinkGroup& group, std::string_view address);

}  // namespace qw::propose
