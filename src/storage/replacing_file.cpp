#include "storage/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "text/encoding.h"

namespace qw {
namespace {

// A name no other writer in this folder uses: hidden, and carrying the process id and a counter.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target, int attempt) {
  static std::atomic<unsigned> counter{0};
  std::string name(".");
  name.append(target.filename().string()).append(".").append(std::to_string(::getpid()));
  name.append("-").append(std::to_string(counter.fetch_add(1))).append("-").append(std::to_string(attempt));
  name.append(".part");
  std::filesystem::path path = target;
  path.replace_filename(name);
  return path;
}

}  // namespace

ReplacingFile::ReplacingFile(std::filesystem::path target, mode_t mode) : target_(std::move(target)) {
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = TemporaryBeside(target_, attempt);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    Fail("无法在目标文件夹中创建文件");
    temporary_.clear();
  }
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ReplacingFile::Fail(std::string_view doing) {
  const int code = errno;
  error_ = Utf8ToGbk(std::string(doing) + "（" + target_.string() + "）：" + std::strerror(code));
  return false;
}

bool ReplacingFile::Write(std::string_view bytes) {
  if (fd_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return Fail("写入失败");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool ReplacingFile::Commit() {
  if (fd_ < 0) return false;
  const bool synced = ::fsync(fd_) == 0;
  const int closed = ::close(fd_);
  fd_ = -1;
  if (!synced || closed != 0) return Fail("写入磁盘失败");
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail("无法替换目标文件");
  committed_ = true;
  // The rename itself outlives a power cut only once the folder is synced; a failure here loses nothing.
  const int folder = ::open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

}  // namespace qw
