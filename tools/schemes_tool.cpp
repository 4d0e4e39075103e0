// Exports and imports schemes from the command line, with the same core as the options window:
//
//   qw-schemes export [--with-cookie] DB FILE [ID...]   the schemes ID... (every scheme when none is named)
//                                                       of the database DB into the scheme file FILE
//   qw-schemes import [--all] DB FILE                   the schemes of FILE into DB as new, unticked schemes
//
// FILE "-" is standard output or input. Import skips a scheme the database already has (the same address
// and expression) unless --all is given, and adds a category the list lacks to the end of the list in the
// settings file beside the database (mavonet.ini). Nothing of a refused file is stored.
//
// Exit status: 0 done; 1 the database, the file or the settings file could not be read or written (nothing
// was changed); 2 bad input: wrong arguments, a refused scheme file, an ID that names no scheme, or a text
// that cannot be written exactly.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "schemes/scheme_export.h"
#include "schemes/scheme_file.h"
#include "schemes/scheme_import.h"
#include "storage/database.h"
#include "storage/replacing_file.h"
#include "storage/settings_file.h"
#include "text/encoding.h"

namespace {

constexpr int kDone = 0;
constexpr int kCannotReadOrWrite = 1;
constexpr int kBadInput = 2;

constexpr char kUsage[] =
    "usage: qw-schemes export [--with-cookie] DB FILE [ID...]\n"
    "       qw-schemes import [--all] DB FILE\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kBadInput;
}

// The core speaks GBK; the terminal reads UTF-8.
int Fail(int status, const std::string& gbkMessage) {
  std::fprintf(stderr, "qw-schemes: %s\n", qw::GbkToUtf8(gbkMessage).c_str());
  return status;
}

int FailUtf8(int status, const std::string& message) {
  std::fprintf(stderr, "qw-schemes: %s\n", message.c_str());
  return status;
}

// Opens the program's database without ever creating one.
bool OpenProgramDatabase(qw::Connection& connection, const std::filesystem::path& path, std::string& why) {
  switch (qw::OpenDatabase(connection, path)) {
    case qw::OpenResult::Missing:
      why = "no database at " + path.string();
      return false;
    case qw::OpenResult::Failed:
      why = "cannot open " + path.string() + ": " + qw::GbkToUtf8(qw::LastError(connection));
      return false;
    case qw::OpenResult::Opened:
      break;
  }
  if (!qw::HasProgramTables(connection)) {
    why = path.string() + " has no tables rule and info";
    return false;
  }
  return true;
}

qw::SettingsFile SettingsBeside(const std::filesystem::path& database) {
  return qw::SettingsFile(database.parent_path() / "mavonet.ini");
}

bool ParseId(const std::string& text, int& id) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  id = std::stoi(text);
  return id > 0;
}

int Export(const std::vector<std::string>& args) {
  bool withCookie = false;
  std::vector<std::string> rest;
  for (const std::string& arg : args) {
    if (arg == "--with-cookie") {
      withCookie = true;
    } else {
      rest.push_back(arg);
    }
  }
  if (rest.size() < 2) return Usage();
  std::vector<int> ids;
  for (std::size_t i = 2; i < rest.size(); ++i) {
    int id = 0;
    if (!ParseId(rest[i], id)) return FailUtf8(kBadInput, "not a scheme id: " + rest[i]);
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  const std::filesystem::path database = rest[0];
  const std::string file = rest[1];

  qw::Connection connection;
  std::string why;
  if (!OpenProgramDatabase(connection, database, why)) return FailUtf8(kCannotReadOrWrite, why);
  const qw::SettingsFile settings = SettingsBeside(database);
  const qw::SchemeExport exported = qw::ExportSchemes(
      connection, qw::ParseCategoryValue(settings.ReadSetting(qw::CategoriesKey())), ids, withCookie);
  if (!exported.error.empty()) return Fail(kBadInput, exported.error);

  if (file == "-") {
    std::fwrite(exported.text.data(), 1, exported.text.size(), stdout);
    if (std::fflush(stdout) != 0) return FailUtf8(kCannotReadOrWrite, "cannot write to standard output");
  } else {
    qw::ReplacingFile out(file);
    if (!out.Ok() || !out.Write(exported.text) || !out.Commit()) return Fail(kCannotReadOrWrite, out.Error());
  }
  std::fprintf(stderr, "exported %d scheme(s)%s\n", exported.count, withCookie ? " with their cookies" : "");
  return kDone;
}

int Import(const std::vector<std::string>& args) {
  bool all = false;
  std::vector<std::string> rest;
  for (const std::string& arg : args) {
    if (arg == "--all") {
      all = true;
    } else {
      rest.push_back(arg);
    }
  }
  if (rest.size() != 2) return Usage();
  const std::filesystem::path database = rest[0];
  const std::string file = rest[1];

  std::string bytes;
  {
    std::ifstream in;
    std::istream* stream = &std::cin;
    if (file != "-") {
      in.open(file, std::ios::binary);
      if (!in) return FailUtf8(kCannotReadOrWrite, "cannot read " + file);
      stream = &in;
    }
    // One byte past the limit is enough to refuse a file that is too large.
    bytes.resize(qw::kSchemeFileLimit + 1);
    stream->read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(stream->gcount()));
    if (stream->bad()) return FailUtf8(kCannotReadOrWrite, "cannot read " + file);
  }

  qw::Connection connection;
  std::string why;
  if (!OpenProgramDatabase(connection, database, why)) return FailUtf8(kCannotReadOrWrite, why);
  const qw::ImportPlan plan = qw::PlanImport(connection, bytes);
  if (!plan.error.empty()) return Fail(plan.fileRefused ? kBadInput : kCannotReadOrWrite, plan.error);
  std::vector<bool> add;
  for (const qw::ImportCandidate& candidate : plan.candidates) add.push_back(all || !candidate.equalId);

  qw::SettingsFile settings = SettingsBeside(database);
  const qw::ImportOutcome outcome = qw::ImportSchemes(connection, settings, plan, add);
  if (!outcome.ok) return Fail(kCannotReadOrWrite, outcome.error);

  std::size_t next = 0;
  for (std::size_t i = 0; i < plan.candidates.size(); ++i) {
    const std::string name = qw::GbkToUtf8(plan.candidates[i].scheme.name);
    if (add[i]) {
      std::printf("added %d %s\n", outcome.ids[next++], name.c_str());
    } else {
      std::printf("skipped %s (the same as scheme %d)\n", name.c_str(), *plan.candidates[i].equalId);
    }
  }
  for (const std::string& category : outcome.addedCategories) {
    std::printf("category added: %s\n", qw::GbkToUtf8(category).c_str());
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "export") return Export(args);
  if (command == "import") return Import(args);
  return Usage();
}
