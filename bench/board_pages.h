#pragma once
// The board pages of the collecting benchmarks and the schemes that watch them: a GBK list page whose 40
// old articles its scheme has seen, with fresh new ones above them, padded to a given size.

#include <cstdlib>
#include <string>

#include "support/http_test_server.h"
#include "text/encoding.h"

namespace qw::bench {

inline std::string BoardPage(int board, int fresh, std::size_t bytes) {
  std::string page = "<html><head><title>" + QW_GBK("版块") + std::to_string(board) + "</title></head><body>";
  page += "<ul id=\"list\">";
  for (int i = 40 + fresh; i > 0; --i) {
    page += "<li><a href=\"thread-" + std::to_string(board * 1000 + i) + "-1-1.html\">" + QW_GBK("第") +
            std::to_string(i) + QW_GBK("篇帖子的标题") + "</a> <span>" + QW_GBK("作者") + "</span></li>\r\n";
  }
  page += "</ul>";
  while (page.size() < bytes) page += "<p>" + QW_GBK("版规与公告，请遵守论坛规定。") + "</p>\r\n";
  return page + "</body></html>";
}

// The statement that adds scheme id watching url; its marker is the newest of the 40 articles seen.
inline std::string BoardSchemeInsert(int id, const std::string& url) {
  return "insert into rule(id,class,code,name,url,cookie,ua,arttile,buquan,regular,\"before\",\"after\","
         "tindex,uindex,oindex,isdo,type) values(" +
         std::to_string(id) + ",1,'1','board','" + url + "','','','" + QW_GBK("第") + "40" +
         QW_GBK("篇帖子的标题") + "','http://bbs.example/thread-[1]-1-1.html'," +
         "'<a href=\"thread-(\\d+)-1-1\\.html\">([^<]+)</a>','" + QW_GBK("<ul id=#引号list#引号>") +
         "','</ul>','2','1','1','1','0');";
}

// The board a request names: GET /board-N.html HTTP/1.1
inline int RequestedBoard(const test::ReceivedRequest& request) {
  const std::size_t dash = request.raw.find("/board-");
  return dash == std::string::npos ? 0 : std::atoi(request.raw.c_str() + dash + 7);
}

}  // namespace qw::bench
