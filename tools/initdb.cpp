// Lays the starter database: qw-initdb SCHEMA.sql TARGET.sdb
// Creates TARGET from the schema when nothing is there; an existing file or link is never touched.

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qw-initdb SCHEMA.sql TARGET.sdb\n");
    return 2;
  }
  const std::filesystem::path target = argv[2];
  std::error_code ec;
  // A symbolic link counts as a database even when what it names is missing (a drive not mounted, say):
  // replacing it would cut the user's link.
  if (std::filesystem::exists(std::filesystem::symlink_status(target, ec))) return 0;

  std::ifstream schemaFile(argv[1], std::ios::binary);
  if (!schemaFile) {
    std::fprintf(stderr, "qw-initdb: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ostringstream schema;
  schema << schemaFile.rdbuf();

  // Build beside the target and rename at the end, so a failure never leaves a half-made database.
  const std::filesystem::path temporary = target.string() + ".new";
  std::filesystem::remove(temporary, ec);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  char* error = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::fprintf(stderr, "qw-initdb: %s\n", error != nullptr ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    std::filesystem::remove(temporary, ec);
    return 1;
  }
  sqlite3_close(db);
  std::filesystem::rename(temporary, target, ec);
  if (ec) {
    std::fprintf(stderr, "qw-initdb: %s\n", ec.message().c_str());
    return 1;
  }
  std::printf("Laid a starter database at %s\n", target.c_str());
  return 0;
}
