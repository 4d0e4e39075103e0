#include "support/board_server.h"

#include "storage/sql_literal.h"
#include "text/encoding.h"

namespace qw::test {

BoardServer::BoardServer()
    : server_([this](const ReceivedRequest& request) {
        // The request line names the board: GET /board-N.html HTTP/1.1
        const std::size_t dash = request.raw.find("/board-");
        const int board = dash == std::string::npos ? 0 : std::stoi(request.raw.substr(dash + 7));
        {
          std::lock_guard lock(mutex_);
          ++requests_[board];
        }
        return MakeResponse(200, Page(board));
      }) {
  // The boards count their own requests; a soak of many thousands keeps none.
  server_.KeepRequests(false);
}

void BoardServer::SetArticles(int board, std::vector<BoardArticle> articles) {
  std::lock_guard lock(mutex_);
  boards_[board] = std::move(articles);
}

std::string BoardServer::BoardUrl(int board) const {
  return server_.Url("/board-" + std::to_string(board) + ".html");
}

int BoardServer::Requests(int board) const {
  std::lock_guard lock(mutex_);
  const auto found = requests_.find(board);
  return found == requests_.end() ? 0 : found->second;
}

std::string BoardServer::Page(int board) const {
  std::lock_guard lock(mutex_);
  std::string page = "<html><body><ul id=\"list\">\r\n";
  const auto found = boards_.find(board);
  if (found != boards_.end()) {
    for (const BoardArticle& a : found->second) {
      page += "<li><a href=\"thread-" + std::to_string(a.id) + ".html\">" + a.title + "</a></li>\r\n";
    }
  }
  return page + "</ul></body></html>\r\n";
}

std::string BoardServer::SchemeInsert(int id, int cls, const std::string& name, int board, int mode,
                                      bool isdo) const {
  return "insert into rule(id,class,code,name,url,cookie,ua,arttile,buquan,regular,\"before\",\"after\","
         "tindex,uindex,oindex,isdo,lastid,type) values(" +
         std::to_string(id) + "," + std::to_string(cls) + ",'1','" + SqlQuoted(name) + "','" + BoardUrl(board) +
         "','','qw-test',NULL,'http://bbs.example/thread-[1].html','<a href=\"thread-(\\d+)\\.html\">([^<]+)</a>','" +
         Utf8ToGbk("<ul id=#引号list#引号>") + "','</ul>','2','1','1','" + (isdo ? "1" : "0") + "',0,'" +
         std::to_string(mode) + "');";
}

}  // namespace qw::test
