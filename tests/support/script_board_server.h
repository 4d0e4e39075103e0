#pragma once
// Boards that send an empty shell and build their article list with a script, on a local server: the pages a
// scheme must get through the browser. Each board's shell asks for its list 300 ms after it has loaded.

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/board_server.h"
#include "support/http_test_server.h"

namespace qw::test {

enum class ScriptBoard {
  // A UTF-8 shell that builds its list from a JSON request.
  kJsonList,
  // The same list in the page itself, as a page without scripts sends it.
  kStaticList,
  // That page with the status 403.
  kForbidden,
  // A GBK shell naming no encoding, whose list comes from a GBK script (JSONP) that names none either.
  kGbkScriptList,
  // The list is in the page itself, but the page never finishes loading.
  kNeverEnds,
  // A script that never ends, before any list.
  kLoopsForever,
  // A script that builds ever larger arrays until its renderer gives out.
  kEatsMemory,
};

class ScriptBoardServer {
 public:
  explicit ScriptBoardServer(const ServerOptions& options = {});

  void SetKind(int board, ScriptBoard kind);
  // The list of board n, newest first; titles in GBK.
  void SetArticles(int board, std::vector<BoardArticle> articles);
  // Board n's shell answers with these header lines too (separated by "\r\n"), for instance a Set-Cookie.
  void SetHeaderLines(int board, std::string lines);
  std::string BoardUrl(int board) const;
  // The requests for board n's shell so far.
  int ShellRequests(int board) const;
  // Every request received, in order (the shells, their lists and whatever else the browser asked for).
  std::vector<ReceivedRequest> Requests() const { return server_.Requests(); }
  void KeepRequests(bool keep) { server_.KeepRequests(keep); }

  // The statement that adds scheme id (category 1, judged by rising article id, unticked) watching board n,
  // with the browser option when render: the expression finds the script-built links, the region is the list.
  std::string SchemeInsert(int id, const std::string& name, int board, bool render) const;

 private:
  struct Board {
    ScriptBoard kind = ScriptBoard::kJsonList;
    std::vector<BoardArticle> articles;
    std::string headerLines;
    int shellRequests = 0;
  };

  void Answer(const ReceivedRequest& request, ResponseStream& stream);

  mutable std::mutex mutex_;
  std::map<int, Board> boards_;
  HttpTestServer server_;
};

}  // namespace qw::test
