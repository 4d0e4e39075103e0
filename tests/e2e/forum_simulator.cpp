#include "forum_simulator.h"

#include "text/encoding.h"

namespace qw::test {
namespace {

std::string RequestPath(const std::string& raw) {
  const std::size_t start = raw.find(' ');
  const std::size_t end = raw.find(' ', start + 1);
  return start == std::string::npos || end == std::string::npos ? "" : raw.substr(start + 1, end - start - 1);
}

bool HasCookie(const std::string& raw, const std::string& cookie) {
  const std::size_t line = raw.find("\r\nCookie:");
  if (line == std::string::npos) return false;
  const std::size_t end = raw.find("\r\n", line + 2);
  return raw.substr(line, end - line).find(cookie) != std::string::npos;
}

}  // namespace

ForumSimulator::ForumSimulator()
    : sites_([this](const ReceivedRequest& request, ResponseStream& out) { Answer(request, out); }),
      silent_(HttpTestServer::NeverAnswer()) {}

std::string ForumSimulator::BoardUrl() const { return sites_.Url("/bbs/forum-2-1.html"); }
std::string ForumSimulator::NewsUrl() const { return sites_.Url("/news"); }
std::string ForumSimulator::SilentUrl() const { return silent_.Url("/list.html"); }

std::vector<SiteArticle> ForumSimulator::AddBoardArticles(int n) {
  std::lock_guard lock(mutex_);
  std::vector<SiteArticle> added;
  for (int i = 0; i < n; ++i, ++nextBoardId_) {
    added.push_back({nextBoardId_, "讨论帖" + std::to_string(nextBoardId_) + "：今天的话题"});
  }
  board_.insert(board_.end(), added.begin(), added.end());
  return added;
}

std::vector<SiteArticle> ForumSimulator::AddNewsArticles(int n) {
  std::lock_guard lock(mutex_);
  std::vector<SiteArticle> added;
  for (int i = 0; i < n; ++i, ++nextNewsId_) {
    added.push_back({nextNewsId_, "快讯" + std::to_string(nextNewsId_) + " “本地”新闻"});
  }
  news_.insert(news_.end(), added.begin(), added.end());
  return added;
}

std::vector<SiteArticle> ForumSimulator::BoardArticles() const {
  std::lock_guard lock(mutex_);
  return board_;
}

std::vector<SiteArticle> ForumSimulator::NewsArticles() const {
  std::lock_guard lock(mutex_);
  return news_;
}

void ForumSimulator::Answer(const ReceivedRequest& request, ResponseStream& out) {
  const std::string path = RequestPath(request.raw);
  if (path == "/bbs/forum-2-1.html") {
    if (!HasCookie(request.raw, kLoginCookie)) {
      out.Send(MakeResponse(
          200, Utf8ToGbk("<html><body><form action=\"login.php\">请先登录</form></body></html>")));
      return;
    }
    ++boardRequests_;
    if (!out.HoldFor(std::chrono::milliseconds(boardDelay_.load()))) return;
    out.Send(MakeResponse(200, BoardPage(), "Content-Type: text/html; charset=gbk"));
  } else if (path == "/news") {
    out.Send(MakeResponse(302, "", "Location: /news/index.html"));
  } else if (path == "/news/index.html") {
    ++newsRequests_;
    out.Send(MakeResponse(200, NewsPage(), "Content-Type: text/html; charset=utf-8"));
  } else {
    out.Send(MakeResponse(404, "not here"));
  }
}

std::string ForumSimulator::BoardPage() const {
  std::lock_guard lock(mutex_);
  std::string page = "<html><head><title>" + Utf8ToGbk("本地论坛 - 灌水区") + "</title></head><body>\r\n";
  page += "<table id=\"threadlist\">\r\n";
  for (const SiteArticle& a : board_) {  // oldest first: the newest thread is at the bottom
    page += "<tr><th><a href=\"thread-" + std::to_string(a.id) + "-1-1.html\" class=\"s xst\">" +
            Utf8ToGbk(a.title) + "</a></th><td>" + Utf8ToGbk("楼主") + "</td></tr>\r\n";
  }
  return page + "</table>\r\n</body></html>\r\n";
}

std::string ForumSimulator::NewsPage() const {
  std::lock_guard lock(mutex_);
  std::string page =
      "<html><head><meta charset=\"utf-8\"><title>本地新闻</title></head><body>\n<div id=\"news\">\n";
  for (auto a = news_.rbegin(); a != news_.rend(); ++a) {  // newest on top
    page += "<div class=\"item\"><a href=\"/news/" + std::to_string(a->id) + ".html\">" + a->title +
            "</a></div>\n";
  }
  return page + "</div>\n</body></html>\n";
}

}  // namespace qw::test
