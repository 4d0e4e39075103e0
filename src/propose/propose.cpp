#include "propose/propose.h"

#include <set>

#include "propose/link_groups.h"
#include "propose/page_model.h"
#include "propose/scheme_builder.h"

namespace qw::propose {
namespace {

// Lists looked at closely: building a scheme runs the pass's steps over the page a few times per list.
constexpr std::size_t kListsTried = 12;

}  // namespace

Proposals ProposeSchemes(std::string_view page, std::string_view address) {
  Proposals result;
  if (page.empty()) {
    result.outcome = Proposals::kEmptyPage;
    return result;
  }
  PageModel model;
  if (ParsePage(page, model) == ParseOutcome::kTooDeep) {
    result.outcome = Proposals::kTooDeep;
    return result;
  }
  const std::vector<Link> links = PageLinks(model, address);
  const std::vector<LinkGroup> groups = RepeatedLinkGroups(model, links, address, kListsTried);
  std::set<std::vector<std::string>> offered;
  for (const LinkGroup& group : groups) {
    std::optional<ProposedScheme> scheme = BuildScheme(model, group, address);
    if (!scheme) continue;
    // Two lists can give the same articles (a list and the same list less its pinned rows): offer them once.
    std::vector<std::string> urls;
    for (const ProposedArticle& article : scheme->articles) urls.push_back(article.url);
    if (!offered.insert(urls).second) continue;
    result.candidates.push_back(std::move(*scheme));
    if (result.candidates.size() == kMostProposals) break;
  }
  result.outcome = result.candidates.empty() ? Proposals::kNothingRepeats : Proposals::kFound;
  return result;
}

}  // namespace qw::propose
