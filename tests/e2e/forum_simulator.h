#pragma once
// Local sites for the end-to-end run, on 127.0.0.1: a GBK forum board behind a login cookie, a UTF-8 news
// index reached through a redirect, and a server that never answers. Their article lists grow when the test
// says so; each list is served newest on top or newest at the bottom, with rising article ids.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "support/http_test_server.h"

namespace qw::test {

enum class ListOrder { NewestOnTop, NewestAtBottom };

struct SiteArticle {
  int id;
  std::string title;  // UTF-8
};

class ForumSimulator {
 public:
  // The cookie the board wants; without it the board answers with its login page.
  static constexpr const char* kLoginCookie = "auth=member42";

  ForumSimulator();

  // The board: GBK, newest at the bottom, thread-<id>-1-1.html links, only with the login cookie.
  std::string BoardUrl() const;
  // The news index: /news answers with a redirect to the UTF-8 index, newest on top.
  std::string NewsUrl() const;
  // An address whose server takes the connection and never answers.
  std::string SilentUrl() const;

  // Adds n articles with the next ids; returns them, oldest first.
  std::vector<SiteArticle> AddBoardArticles(int n);
  std::vector<SiteArticle> AddNewsArticles(int n);
  std::vector<SiteArticle> BoardArticles() const;
  std::vector<SiteArticle> NewsArticles() const;

  // How many list pages each site has served (the board's login page not counted).
  int BoardRequests() const { return boardRequests_.load(); }
  int NewsRequests() const { return newsRequests_.load(); }

  // The board waits this long before it answers.
  void SetBoardDelay(std::chrono::milliseconds delay) { boardDelay_.store(delay.count()); }

 private:
  void Answer(const ReceivedRequest& request, ResponseStream& out);
  std::string BoardPage() const;
  std::string NewsPage() const;

  mutable std::mutex mutex_;
  std::vector<SiteArticle> board_;
  std::vector<SiteArticle> news_;
  int nextBoardId_ = 1001;
  int nextNewsId_ = 501;
  std::atomic<int> boardRequests_{0};
  std::atomic<int> newsRequests_{0};
  std::atomic<long long> boardDelay_{0};
  HttpTestServer sites_;
  HttpTestServer silent_;
};

}  // namespace qw::test
