#pragma once
// The new articles stored since the user was last alerted, as far as the alert tells them. Passes add what
// they store; the alert at the end of a monitoring round takes them. A one-off pass adds too, and its
// articles are told by the next round's alert, as its flag is.

#include <mutex>
#include <vector>

#include "notify/new_article.h"

namespace qw {

// Lines of articles a notification shows; the rest are counted.
inline constexpr int kNoticeArticles = 5;

// What an alert tells: how many articles alert, and the first of them in the order stored.
struct NewsNotice {
  int count = 0;
  std::vector<NewArticle> shown;
};

// Whether a stored article alerts the user (the chime, the alert icon, the desktop notification): the one
// place that decides it. Every article does unless the keywords kept it quiet.
bool ArticleAlerts(const NewArticle& article);

class PendingNews {
 public:
  // From any thread.
  void Add(const NewArticle& article);
  // What has come since the last Take, and nothing after it.
  NewsNotice Take();

 private:
  std::mutex mutex_;
  NewsNotice notice_;
};

// "发现 N 篇新文章"; GBK.
std::string NoticeCaption(const NewsNotice& notice);
// One "站点：标题" line per shown article ("站点：标题（关注词：词）" for a watched one), then "……还有 M 篇" for the
// rest; GBK.
std::vector<std::string> NoticeLines(const NewsNotice& notice);

}  // namespace qw
