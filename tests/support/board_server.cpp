#include "support/board_server.h"

#include "storage/sql_literal.h"
#include "text/encoding.h"

namespace qw::test {

BoardServer::BoardServer(const ServerOptions& options)
    : server_([this](const ReceivedRequest& request, ResponseStream& stream) { Answer(request, stream); },
              options) {
  // The boards count their own requests; a soak of many thousands keeps none.
  server_.KeepRequests(false);
}

void BoardServer::Answer(const ReceivedRequest& request, ResponseStream& stream) {
  // The request line names the board: GET /board-N.html HTTP/1.1
  const std::size_t dash = request.raw.find("/board-");
  const int number = dash == std::string::npos ? 0 : std::stoi(request.raw.substr(dash + 7));
  std::chrono::milliseconds delay;
  {
    std::lock_guard lock(mutex_);
    Board& board = boards_[number];
    ++board.requests;
    delay = board.delay;
  }
  if (delay.count() > 0 && !stream.HoldFor(delay)) return;
  std::string response;
  {
    // The board as it is when the answer goes out.
    std::lock_guard lock(mutex_);
    const Board& board = boards_[number];
    if (!board.redirect.empty()) {
      response = MakeResponse(302, "", "Location: " + board.redirect + "\r\n" + board.headerLines);
    } else {
      response = MakeResponse(board.status, board.status == 200 ? Page(board) : "", board.headerLines);
    }
  }
  (void)stream.Send(response);
}

void BoardServer::SetArticles(int board, std::vector<BoardArticle> articles) {
  std::lock_guard lock(mutex_);
  boards_[board].articles = std::move(articles);
}

void BoardServer::SetDelay(int board, std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  boards_[board].delay = delay;
}

void BoardServer::SetHeaderLines(int board, std::string lines) {
  std::lock_guard lock(mutex_);
  boards_[board].headerLines = std::move(lines);
}

void BoardServer::SetRedirect(int board, std::string url) {
  std::lock_guard lock(mutex_);
  boards_[board].redirect = std::move(url);
}

void BoardServer::SetStatus(int board, int status) {
  std::lock_guard lock(mutex_);
  boards_[board].status = status;
}

std::string BoardServer::BoardUrl(int board) const {
  return server_.Url("/board-" + std::to_string(board) + ".html");
}

int BoardServer::Requests(int board) const {
  std::lock_guard lock(mutex_);
  const auto found = boards_.find(board);
  return found == boards_.end() ? 0 : found->second.requests;
}

// With mutex_ held.
std::string BoardServer::Page(const Board& board) const {
  std::string page = "<html><body><ul id=\"list\">\r\n";
  for (const BoardArticle& a : board.articles) {
    page += "<li><a href=\"thread-" + std::to_string(a.id) + ".html\">" + a.title + "</a></li>\r\n";
  }
  return page + "</ul></body></html>\r\n";
}

std::string BoardServer::SchemeInsert(int id, int cls, const std::string& name, int board, int mode,
                                      bool isdo) const {
  return "insert into rule(id,class,code,name,url,cookie,ua,arttile,buquan,regular,\"before\",\"after\","
         "tindex,uindex,oindex,isdo,lastid,type) values(" +
         std::to_string(id) + "," + std::to_string(cls) + ",'1','" + SqlQuoted(name) + "','" +
         BoardUrl(board) +
         "','','qw-test',NULL,'http://bbs.example/thread-[1].html','<a "
         "href=\"thread-(\\d+)\\.html\">([^<]+)</a>','" +
         Utf8ToGbk("<ul id=#引号list#引号>") + "','</ul>','2','1','1','" + (isdo ? "1" : "0") + "',0,'" +
         std::to_string(mode) + "');";
}

}  // namespace qw::test
