#pragma once
// Forum boards on a local server whose lists the test changes between passes, and the schemes that watch
// them.

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/http_test_server.h"

namespace qw::test {

struct BoardArticle {
  int id;
  std::string title;  // GBK
};

class BoardServer {
 public:
  explicit BoardServer(const ServerOptions& options = {});

  // The list of board n, newest first unless the caller orders otherwise.
  void SetArticles(int board, std::vector<BoardArticle> articles);
  // Board n answers after this long; a board slower than the client's patience is a dead one.
  void SetDelay(int board, std::chrono::milliseconds delay);
  // Board n answers with these header lines too (separated by "\r\n"), for instance a Set-Cookie line.
  void SetHeaderLines(int board, std::string lines);
  // Board n answers with a redirect to url instead of its list.
  void SetRedirect(int board, std::string url);
  // Board n answers with this status; with one other than 200, its body is empty.
  void SetStatus(int board, int status);
  // The address of board n's list page.
  std::string BoardUrl(int board) const;
  // How many requests board n has received.
  int Requests(int board) const;
  // The exchanges the server holds at once.
  const ConnectionGauge& Connections() const { return server_.Connections(); }

  // The statement that adds scheme id (category cls, judging mode, tick isdo) watching board n.
  std::string SchemeInsert(int id, int cls, const std::string& name, int board, int mode, bool isdo) const;

 private:
  struct Board {
    std::vector<BoardArticle> articles;
    std::chrono::milliseconds delay{0};
    std::string headerLines;
    std::string redirect;
    int status = 200;
    int requests = 0;
  };

  std::string Page(const Board& board) const;
  void Answer(const ReceivedRequest& request, ResponseStream& stream);

  mutable std::mutex mutex_;
  std::map<int, Board> boards_;
  HttpTestServer server_;
};

}  // namespace qw::test
