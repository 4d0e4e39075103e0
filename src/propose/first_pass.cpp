#include <set>
#include <utility>

#include "extract/collect_scheme.h"
#include "extract/pipeline.h"
#include "propose/proposal.h"
#include "text/gbk_text.h"

namespace qw::propose {

std::vector<ProposedArticle> FirstPassArticles(const ProposedScheme& scheme, std::string_view page) {
  std::vector<ProposedArticle> articles;
  // A new scheme has no last-article marker, so the markers stand as they are.
  const std::string region = CutRegion(page, scheme.before, scheme.after);
  if (region.empty()) return articles;
  const std::vector<Hit> hits = MatchAll(scheme.regular, region);
  const std::vector<std::string> placeholders = TemplatePlaceholders(scheme.buquan);
  const int titleGroup = ToInteger(scheme.tindex);
  const int idGroup = ToInteger(scheme.uindex);
  std::set<std::pair<std::string, std::string>> stored;
  for (const Hit& hit : hits) {
    ProposedArticle article;
    if (scheme.type == kRisingId) {
      article.id = GroupText(hit, idGroup);
      if (ToInteger(article.id) <= 0) continue;
    }
    article.title = GroupText(hit, titleGroup);
    article.url = ComposeArticleUrl(scheme.buquan, placeholders, hit);
    // The first pass looks each article up before storing it.
    if (!stored.emplace(article.title, article.url).second) continue;
    articles.push_back(std::move(article));
  }
  return articles;
}

}  // namespace qw::propose
