// Whole-file reads and writes for the simulated machine's files: one pair,
// used wherever a file is read or written in one piece.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace brannic::sim {

// Every byte of the regular file at `path`; nullopt, with `error` (when
// given) set, when it cannot be opened or read, is a folder (EISDIR), is
// anything else but a regular file, such as a FIFO or a device (EINVAL), or
// holds more than `maxBytes` (EFBIG). Never waits for a writer, whatever
// stands at `path`.
std::optional<std::string> readFileToString(const std::filesystem::path& path,
                                            std::error_code* error = nullptr,
                                            std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// Replaces the file at `path` with `contents` (creating it with mode 0644
// less the umask). False, with `error` set, when it cannot be written; the
// file may then hold part of `contents`.
bool writeStringToFile(const std::filesystem::path& path, std::string_view contents,
                       std::error_code* error = nullptr);

// The same for a file that a reader, in this process or another, must never
// see half written: the bytes go to `<path>.new` first (made afresh, never
// through a link found there), which is then renamed over `path`, so a
// reader sees the old file or the new one. On failure the staged file is
// removed and `path` is left as it was.
bool writeStringToFileAtomically(const std::filesystem::path& path, std::string_view contents,
                                 std::error_code* error = nullptr);

// The whole lines appended to the file at `path` past its first `offset`
// bytes, each without its line feed; `offset` moves past them. A line still
// being written (no line feed yet) waits for the next call; a file now
// shorter than `offset` was replaced, and is read from its start. Nothing
// when the file cannot be read.
std::vector<std::string> readAppendedLines(const std::filesystem::path& path, std::uintmax_t& offset);

}  // namespace brannic::sim
