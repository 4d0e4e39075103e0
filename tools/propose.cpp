// Proposes schemes for a list page and prints them as JSON:
//   qw-propose [--address URL] [--encoding gbk|utf8] FILE
//   qw-propose [--encoding gbk|utf8] URL
// A saved page is read from FILE; a URL is fetched as a scheme's pass fetches it. Without --encoding the
// page's own (its response header or meta tag, else its bytes) is used. Prints UTF-8:
//   {"candidates": [{"before": ..., "after": ..., "regular": ..., "tindex": ..., "uindex": ..., "oindex": ...,
//                    "buquan": ..., "type": ..., "articles": [{"title": ..., "url": ..., "id": ...}]}]}
// best first; exit status 0 (an empty list where nothing repeats), 2 with a message on bad input.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "extract/pipeline.h"
#include "fetch/http_fetcher.h"
#include "propose/page_fetch.h"
#include "propose/propose.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "qw-propose: %s\nusage: qw-propose [--address URL] [--encoding gbk|utf8] FILE\n"
               "       qw-propose [--encoding gbk|utf8] URL\n",
               problem.c_str());
  return 2;
}

bool IsWebAddress(const std::string& text) {
  const std::string lowered = qw::Lower(text);
  return lowered.starts_with("http://") || lowered.starts_with("https://");
}

// A stored text as the JSON shows it: GBK read as UTF-8, bytes GBK cannot read as the replacement character.
std::string Shown(const std::string& gbk) { return qw::GbkToUtf8(gbk); }

}  // namespace

int main(int argc, char** argv) {
  std::string address;
  std::string code;  // "1", "0", or empty for the page's own
  std::string source;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--address" || arg == "--encoding") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      const std::string value = argv[++i];
      if (arg == "--address") {
        if (!IsWebAddress(value)) return Usage("--address must be an http:// or https:// address: " + value);
        address = value;
      } else if (value == "gbk" || value == "GBK") {
        code = "1";
      } else if (value == "utf8" || value == "utf-8" || value == "UTF-8") {
        code = "0";
      } else {
        return Usage("unknown encoding " + value + " (gbk or utf8)");
      }
    } else if (arg.starts_with("--")) {
      return Usage("unknown option " + arg);
    } else if (!source.empty()) {
      return Usage("one page at a time");
    } else {
      source = arg;
    }
  }
  if (source.empty()) return Usage("no page given");

  std::string page;
  if (IsWebAddress(source)) {
    if (!address.empty() && address != source) return Usage("--address goes with a FILE");
    address = source;
    const std::string ua(qw::kDefaultAgent);
    if (code.empty()) {
      page = qw::propose::FetchProposalPage(source, {}, ua).text;
    } else {
      std::string cookie;
      page = qw::FlattenLines(qw::FetchPageText(source, cookie, ua, code));
    }
    if (page.empty()) {
      std::fprintf(stderr, "qw-propose: nothing received from %s\n", source.c_str());
      return 2;
    }
  } else {
    std::ifstream file(source, std::ios::binary);
    if (!file) return Usage("cannot read " + source);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) return Usage("cannot read " + source);
    const std::string body = bytes.str();
    if (code.empty()) code = qw::propose::PageCode(body);
    page = qw::FlattenLines(qw::DecodePageText(body, code));
  }

  const qw::propose::Proposals proposals = qw::propose::ProposeSchemes(page, qw::Utf8ToGbk(address));
  if (proposals.outcome == qw::propose::Proposals::kTooDeep) {
    std::fprintf(stderr, "qw-propose: the page nests its elements too deeply to be read\n");
    return 2;
  }
  nlohmann::ordered_json out;
  out["candidates"] = nlohmann::ordered_json::array();
  for (const qw::propose::ProposedScheme& s : proposals.candidates) {
    nlohmann::ordered_json c;
    c["before"] = Shown(s.before);
    c["after"] = Shown(s.after);
    c["regular"] = Shown(s.regular);
    c["tindex"] = Shown(s.tindex);
    c["uindex"] = Shown(s.uindex);
    c["oindex"] = Shown(s.oindex);
    c["buquan"] = Shown(s.buquan);
    c["type"] = s.type;
    c["articles"] = nlohmann::ordered_json::array();
    for (const qw::propose::ProposedArticle& a : s.articles) {
      c["articles"].push_back({{"title", Shown(a.title)}, {"url", Shown(a.url)}, {"id", Shown(a.id)}});
    }
    out["candidates"].push_back(std::move(c));
  }
  std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  return 0;
}
