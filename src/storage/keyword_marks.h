#pragma once
// What the keywords made of each article as it was stored, kept in a table of its own keyed by the article's
// id: watched (a 关注词 matched) or muted (a 屏蔽词 did), with the entry that decided. Articles no keyword
// touched have no row. info keeps its exact columns; the table is made when a pass first has keywords to
// record, and a database without it reads as no article being marked.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qw {

class Connection;

enum class KeywordMark : int { kNone = 0, kWatched = 1, kMuted = 2 };

struct ArticleMark {
  KeywordMark mark = KeywordMark::kNone;
  // The entry that matched, as written (GBK).
  std::string keyword;
};

// Makes the table when it is missing; false when the database refuses.
bool EnsureKeywordMarks(Connection& connection);
bool HasKeywordMarks(Connection& connection);

// The statement that records the mark of the article just inserted on the same connection, to follow its
// insert in one text; "" for KeywordMark::kNone.
std::string KeywordMarkStatement(KeywordMark mark, std::string_view keyword);

// The marks of the articles with these ids (decimal texts, as the list holds them); none without the table.
std::map<std::string, ArticleMark> ReadKeywordMarks(Connection& connection,
                                                    const std::vector<std::string>& ids);

// The 100 newest watched articles, all columns of info in its order, newest first.
std::string WatchedArticlesStatement();

}  // namespace qw
