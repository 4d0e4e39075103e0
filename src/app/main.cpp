// Quillwatch: watches article-list pages and tells its user when something new appears.
//
// The windows are not built yet; until they are, the program reports what it found beside it and exits.

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
  const std::filesystem::path dir =
      argc > 0 ? std::filesystem::absolute(argv[0]).parent_path() : std::filesystem::current_path();
  const bool haveDatabase = std::filesystem::exists(dir / "mavo.sdb");
  std::printf("Quillwatch %s\n", "0.1");
  std::printf("Program directory: %s\n", dir.c_str());
  std::printf("Database mavo.sdb: %s\n", haveDatabase ? "present" : "missing");
  std::printf("The windows are not part of this build yet: the core library (fetching, extraction, storage)\n"
              "is complete and tested; the tray program comes next.\n");
  return 0;
}
