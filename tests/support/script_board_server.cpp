#include "support/script_board_server.h"

#include <nlohmann/json.hpp>

#include "storage/scheme_options.h"
#include "storage/sql_literal.h"
#include "text/encoding.h"

namespace qw::test {
namespace {

// Turns a list of {id, title} into <li> items of the list.
constexpr const char* kBuildList =
    "function build(articles){var list=document.getElementById('list');"
    "articles.forEach(function(a){var item=document.createElement('li');"
    "item.innerHTML='<a href=\"thread-'+a.id+'-1-1.html\">'+a.title+'</a>';list.appendChild(item);});}";

std::string JsonList(const std::vector<BoardArticle>& articles) {
  nlohmann::json list = nlohmann::json::array();
  for (const BoardArticle& a : articles) list.push_back({{"id", a.id}, {"title", GbkToUtf8(a.title)}});
  return list.dump();
}

std::string JsonShell(int number) {
  return "<html><head><title>board</title></head><body><ul id=\"list\"></ul><script>" +
         std::string(kBuildList) + "setTimeout(function(){var x=new XMLHttpRequest();x.open('GET','/board-" +
         std::to_string(number) +
         "/list.json');x.onload=function(){build(JSON.parse(x.responseText));};x.send();},300);"
         "</script></body></html>";
}

// In GBK: the shell's text and the list's titles are read in the scheme's encoding, as neither names one.
std::string GbkShell(int number) {
  return Utf8ToGbk(
             "<html><head><title>版块</title></head><body><h1>最新主题</h1><ul id=\"list\"></ul><script>") +
         kBuildList + "setTimeout(function(){var s=document.createElement('script');s.src='/board-" +
         std::to_string(number) + "/list.js';document.body.appendChild(s);},300);</script></body></html>";
}

std::string GbkScript(const std::vector<BoardArticle>& articles) {
  std::string script = "build([";
  for (const BoardArticle& a : articles) {
    if (script.back() != '[') script += ',';
    script += "{id:" + std::to_string(a.id) + ",title:'" + a.title + "'}";
  }
  return script + "]);";
}

std::string StaticList(const std::vector<BoardArticle>& articles) {
  std::string page = "<html><body><ul id=\"list\">";
  for (const BoardArticle& a : articles) {
    page +=
        "<li><a href=\"thread-" + std::to_string(a.id) + "-1-1.html\">" + GbkToUtf8(a.title) + "</a></li>";
  }
  return page + "</ul>";
}

}  // namespace

ScriptBoardServer::ScriptBoardServer(const ServerOptions& options)
    : server_([this](const ReceivedRequest& request, ResponseStream& stream) { Answer(request, stream); },
              options) {}

void ScriptBoardServer::Answer(const ReceivedRequest& request, ResponseStream& stream) {
  // The request line names the board and what of it: GET /board-N.html, /board-N/list.json, /board-N/list.js
  const std::size_t at = request.raw.find("/board-");
  const std::size_t lineEnd = request.raw.find("\r\n");
  if (at == std::string::npos || at > lineEnd) {
    (void)stream.Send(MakeResponse(404, "not here"));
    return;
  }
  const int number = std::stoi(request.raw.substr(at + 7));
  const std::string target = request.raw.substr(at, request.raw.find(' ', at) - at);
  Board board;
  {
    std::lock_guard lock(mutex_);
    Board& kept = boards_[number];
    if (target.ends_with(".html")) ++kept.shellRequests;
    board = kept;
  }
  const std::string html = "Content-Type: text/html\r\n";
  if (target.ends_with("/list.json")) {
    (void)stream.Send(MakeResponse(200, JsonList(board.articles), "Content-Type: application/json\r\n"));
    return;
  }
  if (target.ends_with("/list.js")) {
    (void)stream.Send(
        MakeResponse(200, GbkScript(board.articles), "Content-Type: application/javascript\r\n"));
    return;
  }
  switch (board.kind) {
    case ScriptBoard::kJsonList:
      (void)stream.Send(MakeResponse(200, JsonShell(number), html + board.headerLines));
      return;
    case ScriptBoard::kStaticList:
    case ScriptBoard::kForbidden:
      (void)stream.Send(MakeResponse(board.kind == ScriptBoard::kForbidden ? 403 : 200,
                                     StaticList(board.articles) + "</body></html>",
                                     "Content-Type: text/html; charset=utf-8\r\n" + board.headerLines));
      return;
    case ScriptBoard::kGbkScriptList:
      (void)stream.Send(MakeResponse(200, GbkShell(number), html + board.headerLines));
      return;
    case ScriptBoard::kNeverEnds:
      // No length and no end: the page is still loading when the connection is dropped.
      if (stream.Send(
              "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n\r\n" +
              StaticList(board.articles))) {
        stream.Hold();
      }
      return;
    case ScriptBoard::kLoopsForever:
      (void)stream.Send(MakeResponse(
          200, "<html><body><ul id=\"list\"></ul><script>for(;;){}</script></body></html>", html));
      return;
    case ScriptBoard::kEatsMemory:
      (void)stream.Send(MakeResponse(
          200,
          "<html><body><ul id=\"list\"></ul><script>var heap=[];"
          "setInterval(function(){for(var i=0;i<50;i++)heap.push(new Array(1<<20).fill(i));},10);"
          "</script></body></html>",
          html));
      return;
  }
}

void ScriptBoardServer::SetKind(int board, ScriptBoard kind) {
  std::lock_guard lock(mutex_);
  boards_[board].kind = kind;
}

void ScriptBoardServer::SetArticles(int board, std::vector<BoardArticle> articles) {
  std::lock_guard lock(mutex_);
  boards_[board].articles = std::move(articles);
}

void ScriptBoardServer::SetHeaderLines(int board, std::string lines) {
  std::lock_guard lock(mutex_);
  boards_[board].headerLines = std::move(lines);
}

std::string ScriptBoardServer::BoardUrl(int board) const {
  return server_.Url("/board-" + std::to_string(board) + ".html");
}

int ScriptBoardServer::ShellRequests(int board) const {
  std::lock_guard lock(mutex_);
  const auto found = boards_.find(board);
  return found == boards_.end() ? 0 : found->second.shellRequests;
}

std::string ScriptBoardServer::SchemeInsert(int id, const std::string& name, int board, bool render) const {
  ScriptBoard kind;
  {
    std::lock_guard lock(mutex_);
    const auto found = boards_.find(board);
    kind = found == boards_.end() ? ScriptBoard::kJsonList : found->second.kind;
  }
  std::string sql =
      "insert into rule(id,class,code,name,url,cookie,ua,arttile,buquan,regular,\"before\",\"after\","
      "tindex,uindex,oindex,isdo,lastid,type) values(" +
      std::to_string(id) + ",1,'" + (kind == ScriptBoard::kGbkScriptList ? "1" : "0") + "','" +
      SqlQuoted(name) + "','" + BoardUrl(board) +
      "','','qw-test',NULL,'http://bbs.example/thread-[1]-1-1.html','<a "
      "href=\"thread-(\\d+)-1-1\\.html\">([^<]+)</a>','" +
      Utf8ToGbk("<ul id=#引号list#引号>") + "','</ul>','2','1','1','0',0,'8');";
  if (render) sql += SchemeOptionsStatement(id, {{"render", "1"}});
  return sql;
}

}  // namespace qw::test
