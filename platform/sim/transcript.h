// The simulator's transcript: one `channel: text` line per observable event,
// in the order the events happen.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace brannic::sim {

// Escapes bytes for a transcript line: `\\`, `\n`, `\r`, `\t`, and `\xNN`
// for any other control byte and any byte that is not valid UTF-8; with
// `insideQuotes`, also `\"`.
std::string escapeText(std::string_view bytes, bool insideQuotes = false);
// `"` + escapeText(bytes, true) + `"`.
std::string quoted(std::string_view bytes);

// Thread-safe: events may come from the main thread and from IPC threads.
class Transcript {
 public:
  using Sink = std::function<void(const std::string& line)>;
  explicit Transcript(Sink sink) : sink_(std::move(sink)) {}
  // Writes "<channel>: <text>". `text` must already be escaped.
  void emit(std::string_view channel, std::string_view text);

 private:
  std::mutex mutex_;
  Sink sink_;
};

}  // namespace brannic::sim
