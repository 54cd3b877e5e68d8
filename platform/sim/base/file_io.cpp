#include "platform/sim/base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "platform/sim/base/unix_socket.h"

namespace brannic::sim {
namespace {

void setError(std::error_code* error, int code) {
  if (error) *error = std::error_code(code, std::generic_category());
}

// Writes all of `contents` to `file` and closes it.
bool writeAllAndClose(OwnedFd file, std::string_view contents, std::error_code* error) {
  while (!contents.empty()) {
    const ssize_t count = ::write(file.get(), contents.data(), contents.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      setError(error, errno);
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(count));
  }
  if (::close(file.release()) != 0) {
    setError(error, errno);
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> readFileToString(const std::filesystem::path& path, std::error_code* error,
                                            std::size_t maxBytes) {
  // Non-blocking, so that opening a FIFO returns at once; what was opened is
  // then checked, not the path, which may have changed in between.
  OwnedFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (!file.valid() || ::fstat(file.get(), &status) != 0) {
    setError(error, errno);
    return std::nullopt;
  }
  if (!S_ISREG(status.st_mode)) {
    setError(error, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    return std::nullopt;
  }
  std::string contents;
  char buffer[16 * 1024];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count == 0) return contents;
    if (count < 0) {
      if (errno == EINTR) continue;
      setError(error, errno);
      return std::nullopt;
    }
    // The size is checked as the bytes come, not by the status: the file
    // may grow while it is read.
    if (static_cast<std::size_t>(count) > maxBytes - contents.size()) {
      setError(error, EFBIG);
      return std::nullopt;
    }
    contents.append(buffer, static_cast<std::size_t>(count));
  }
}

bool writeStringToFile(const std::filesystem::path& path, std::string_view contents, std::error_code* error) {
  OwnedFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file.valid()) {
    setError(error, errno);
    return false;
  }
  return writeAllAndClose(std::move(file), contents, error);
}

bool writeStringToFileAtomically(const std::filesystem::path& path, std::string_view contents,
                                 std::error_code* error) {
  std::filesystem::path staged = path;
  staged += ".new";
  // A staged file left by a process that died mid-write goes first; the new
  // one is then created afresh, so a link planted at its name is never
  // followed and only a file made here is ever removed.
  ::unlink(staged.c_str());
  OwnedFd file(::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!file.valid()) {
    setError(error, errno);
    return false;
  }
  std::error_code failure;
  if (writeAllAndClose(std::move(file), contents, &failure)) std::filesystem::rename(staged, path, failure);
  if (!failure) return true;
  ::unlink(staged.c_str());
  if (error) *error = failure;
  return false;
}

std::vector<std::string> readAppendedLines(const std::filesystem::path& path, std::uintmax_t& offset) {
  std::vector<std::string> lines;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size == offset) return lines;
  if (size < offset) offset = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file || !file.seekg(static_cast<std::streamoff>(offset))) return lines;
  for (std::string line; std::getline(file, line) && !file.eof();) {
    offset += line.size() + 1;
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace brannic::sim
