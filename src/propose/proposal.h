#pragma once
// A proposed scheme: every field the scheme editor's data and capture boxes need, and the articles that a
// first monitoring pass of it would store from the page it was proposed from.

#include <string>
#include <string_view>
#include <vector>

namespace qw::propose {

// All texts GBK.
struct ProposedArticle {
  std::string title;
  std::string url;
  std::string id;  // the id group's text; empty outside 比较文章ID

  bool operator==(const ProposedArticle&) const = default;
};

struct ProposedScheme {
  std::string before;
  std::string after;
  std::string regular;
  std::string tindex;
  std::string uindex;
  std::string oindex;
  std::string buquan;
  int type = 0;  // 0 时间倒序, 2 时间正序, 8 比较文章ID
  std::vector<ProposedArticle> articles;
};

// What the first monitoring pass of the scheme would store from this page, in page order: the region cut,
// every hit of the expression, the template filled, and in 比较文章ID only the hits with an id above 0. A
// hit whose title and address an earlier hit had is stored once. The same steps and functions as the pass.
std::vector<ProposedArticle> FirstPassArticles(const ProposedScheme& scheme, std::string_view page);

}  // namespace qw::propose
