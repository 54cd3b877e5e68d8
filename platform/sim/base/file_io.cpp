#include "platform/sim/base/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "platform/sim/base/unix_socket.h"

namespace brannic::sim {
namespace {

void setError(std::error_code* error, int code) {
  if (error) *error = std::error_code(code, std::generic_category());
}

}  // namespace

std::optional<std::string> readFileToString(const std::filesystem::path& path, std::error_code* error) {
  OwnedFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    setError(error, errno);
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
    contents.append(buffer, static_cast<std::size_t>(count));
  }
}

bool writeStringToFile(const std::filesystem::path& path, std::string_view contents, std::error_code* error) {
  OwnedFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file.valid()) {
    setError(error, errno);
    return false;
  }
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

bool writeStringToFileAtomically(const std::filesystem::path& path, std::string_view contents,
                                 std::error_code* error) {
  std::filesystem::path staged = path;
  staged += ".new";
  std::error_code failure;
  if (writeStringToFile(staged, contents, &failure)) std::filesystem::rename(staged, path, failure);
  if (!failure) return true;
  std::error_code ignored;
  std::filesystem::remove(staged, ignored);
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
