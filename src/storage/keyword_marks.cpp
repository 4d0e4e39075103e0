#include "storage/keyword_marks.h"

#include "storage/database.h"
#include "storage/sql_literal.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// Only decimal ids go into the look-up; anything else in a cell is no article of the table.
bool IsDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  if (text.empty() || text.size() > 19) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

bool HasKeywordMarks(Connection& connection) { return HasTable(connection, "keyword_marks"); }

bool EnsureKeywordMarks(Connection& connection) {
  if (HasKeywordMarks(connection)) return true;
  // Keyed by the mark first, so that the watched view reads its newest rows in one range and a mark costs
  // the article's insert one more tree, not two.
  // Something else of the name (a view, say) makes "if not exists" succeed without a table.
  return Execute(connection,
                 "create table if not exists keyword_marks(mark INTEGER NOT NULL, id INTEGER NOT NULL, "
                 "keyword TEXT NOT NULL, PRIMARY KEY(mark, id)) WITHOUT ROWID") &&
         HasKeywordMarks(connection);
}

std::string KeywordMarkStatement(KeywordMark mark, std::string_view keyword) {
  if (mark == KeywordMark::kNone) return {};
  return "insert or replace into keyword_marks(mark,id,keyword) values(" +
         std::to_string(static_cast<int>(mark)) + ",last_insert_rowid(),'" + SqlQuoted(keyword) + "')";
}

std::map<std::string, ArticleMark> ReadKeywordMarks(Connection& connection,
                                                    const std::vector<std::string>& ids) {
  std::map<std::string, ArticleMark> marks;
  std::string list;
  for (const std::string& id : ids) {
    if (!IsDecimal(id)) continue;
    if (!list.empty()) list += ',';
    list += id;
  }
  if (list.empty()) return marks;
  // Without the table the query fails and gives no rows.
  const ResultTable table = Query(
      connection, "select id,mark,keyword from keyword_marks where mark in (1,2) and id in (" + list + ")");
  for (int r = 0; r < table.RowCount(); ++r) {
    const int mark = ToInteger(table.Cell(r, 1));
    if (mark != static_cast<int>(KeywordMark::kWatched) && mark != static_cast<int>(KeywordMark::kMuted)) {
      continue;
    }
    marks[table.Cell(r, 0)] = ArticleMark{static_cast<KeywordMark>(mark), table.Cell(r, 2)};
  }
  return marks;
}

std::string WatchedArticlesStatement() {
  return "select info.* from keyword_marks join info on info.id=keyword_marks.id where keyword_marks.mark=1 "
         "order by keyword_marks.id desc LIMIT 100";
}

}  // namespace qw
