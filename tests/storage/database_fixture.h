#pragma once
// A database file made from the starter schema in a temporary directory, opened on a main connection.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "storage/database.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"

namespace qw::test {

// Creates a database file at path, with the two tables unless withTables is false.
inline void CreateDatabaseFile(const std::filesystem::path& path, bool withTables = true) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
            SQLITE_OK);
  const std::string sql = withTables ? StarterSchema() : "create table other(x)";
  ASSERT_FALSE(sql.empty());
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

class DatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDatabaseFile(path_);
    ASSERT_EQ(OpenDatabase(main_, path_), OpenResult::Opened);
  }

  TempDir dir_;
  std::filesystem::path path_ = dir_ / "mavo.sdb";
  Connection main_;
};

}  // namespace qw::test
