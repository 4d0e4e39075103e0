#pragma once
// A file that replaces another only once it is whole: written under a temporary name beside its target, in
// the same folder (so the final rename never crosses file systems), synced, then renamed over the target.
// Until Commit succeeds the target stays as it was, and whatever failed leaves no half file behind.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace qw {

class ReplacingFile {
 public:
  // Creates the temporary file with mode (less the process's umask). Check Ok(); Error() says why not.
  explicit ReplacingFile(std::filesystem::path target, mode_t mode = 0666);
  // Removes the temporary file unless it was committed.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  bool Ok() const { return fd_ >= 0 || committed_; }
  // The temporary file's path, for a library that opens it by name.
  const std::filesystem::path& TemporaryPath() const { return temporary_; }
  const std::filesystem::path& Target() const { return target_; }

  // Appends bytes; false (and Error) when the disk refuses them.
  bool Write(std::string_view bytes);
  // Syncs the contents, renames the file over the target and syncs the folder.
  bool Commit();
  // Why the last step failed, in GBK: what was being done and the system's reason.
  const std::string& Error() const { return error_; }

 private:
  bool Fail(std::string_view doing);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  bool committed_ = false;
  std::string error_;
};

}  // namespace qw
