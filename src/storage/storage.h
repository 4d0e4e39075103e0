#pragma once
// The storage objects every part of the program shares, created unopened and empty before any window.

#include "storage/category_list.h"
#include "storage/database.h"
#include "storage/database_busy.h"
#include "storage/scheme_cache.h"

namespace qw {

struct Storage {
  // Opened by the main window at start; serves the tree, the article list and monitoring.
  Connection mainConnection;
  // The options window's own connection.
  Connection optionsConnection;
  // Serializes the main connection between the SQL runner and the article-list query.
  DatabaseBusy busy;
  SchemeCache schemes;
  CategoryList categories;
};

}  // namespace qw
