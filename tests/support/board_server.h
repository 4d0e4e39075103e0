#pragma once
// Forum boards on a local server whose lists the test changes between passes, and the schemes that watch
// them.

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
  BoardServer();

  // The list of board n, newest first unless the caller orders otherwise.
  void SetArticles(int board, std::vector<BoardArticle> articles);
  // The address of board n's list page.
  std::string BoardUrl(int board) const;
  // How many requests board n has received.
  int Requests(int board) const;

  // The statement that adds scheme id (category cls, judging mode, tick isdo) watching board n.
  std::string SchemeInsert(int id, int cls, const std::string& name, int board, int mode, bool isdo) const;

 private:
  std::string Page(int board) const;

  mutable std::mutex mutex_;
  std::map<int, std::vector<BoardArticle>> boards_;
  std::map<int, int> requests_;
  HttpTestServer server_;
};

}  // namespace qw::test
