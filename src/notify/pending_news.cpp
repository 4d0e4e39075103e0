#include "notify/pending_news.h"

#include <utility>

#include "text/encoding.h"

namespace qw {

bool ArticleAlerts(const NewArticle& article) { return article.alerts; }

void PendingNews::Add(const NewArticle& article) {
  if (!ArticleAlerts(article)) return;
  std::lock_guard lock(mutex_);
  ++notice_.count;
  // Only the first few are shown, so only they are kept, however much a pass stores.
  if (notice_.shown.size() < static_cast<std::size_t>(kNoticeArticles)) notice_.shown.push_back(article);
}

NewsNotice PendingNews::Take() {
  std::lock_guard lock(mutex_);
  return std::exchange(notice_, NewsNotice{});
}

std::string NoticeCaption(const NewsNotice& notice) {
  return QW_GBK("发现 ") + std::to_string(notice.count) + QW_GBK(" 篇新文章");
}

std::vector<std::string> NoticeLines(const NewsNotice& notice) {
  std::vector<std::string> lines;
  for (const NewArticle& article : notice.shown) {
    std::string line = article.site + QW_GBK("：") + article.title;
    // A watched article says which keyword made it one.
    if (!article.keyword.empty()) line += QW_GBK("（关注词：") + article.keyword + QW_GBK("）");
    lines.push_back(std::move(line));
  }
  const int rest = notice.count - static_cast<int>(notice.shown.size());
  if (rest > 0) lines.push_back(QW_GBK("……还有 ") + std::to_string(rest) + QW_GBK(" 篇"));
  return lines;
}

}  // namespace qw
