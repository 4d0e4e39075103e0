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

bool HasKeywordMarks(Connection& connection) {
  return Query(connection, "select 1 from sqlite_master where type='table' and name='keyword_marks'")
             .RowCount() == 1;
}

bool EnsureKeywordMarks(Connection& connection) {
  if (HasKeywordMarks(connection)) return true;
  // The index serves the watched view: its newest rows of one mark, in id order, without a look at the rest.
  return Execute(connection,
                 "create table if not exists keyword_marks(id INTEGER PRIMARY KEY, mark INTEGER NOT NULL, "
                 "keyword TEXT NOT NULL);"
                 "create index if not exists keyword_marks_mark on keyword_marks(mark, id);");
}

std::string KeywordMarkStatement(KeywordMark mark, std::string_view keyword) {
  if (mark == KeywordMark::kNone) return {};
  return "insert or replace into keyword_marks(id,mark,keyword) values(last_insert_rowid()," +
         std::to_string(static_cast<int>(mark)) + ",'" + SqlQuoted(keyword) + "')";
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
  const ResultTable table =
      Query(connection, "select id,mark,keyword from keyword_marks where id in (" + list + ")");
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
