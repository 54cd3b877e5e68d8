// The simulator's transcript: one `channel: text` line per observable event,
// in the order the events happen.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace brannic::sim {

// Escapes bytes for a transcript line: `\\`, `\n`, `\r`, `\t`, and `\xNN`
// (two lower-case hex digits) for any other control byte (0x00...0x1F, 0x7F)
// and any byte that is not part of valid UTF-8; with `insideQuotes`, also
// `\"`. Valid UTF-8 sequences pass through unchanged.
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
  // Writes `line` as it is: the echo of a script line.
  void writeLine(std::string_view line);
  // Nothing is written after this: what happens while the simulated machine
  // is torn down is not an event of the run.
  void close();

 private:
  std::mutex mutex_;
  Sink sink_;
  bool closed_ = false;
};

}  // namespace brannic::sim
