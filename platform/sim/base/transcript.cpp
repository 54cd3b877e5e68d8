#include "platform/sim/base/transcript.h"

#include <array>
#include <cstdint>

#include "platform/sim/base/utf8.h"

namespace brannic::sim {
namespace {

void appendHexEscape(std::string& out, std::uint8_t byte) {
  static constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                   '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

std::string escapeText(std::string_view bytes, bool insideQuotes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<std::uint8_t>(bytes[i]);
    const std::size_t length = validUtf8SequenceLength(bytes, i);
    if (length == 0) {
      appendHexEscape(out, byte);
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    switch (byte) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += insideQuotes ? "\\\"" : "\"";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          appendHexEscape(out, byte);
        } else {
          out += static_cast<char>(byte);
        }
    }
    ++i;
  }
  return out;
}

std::string quoted(std::string_view bytes) { return "\"" + escapeText(bytes, true) + "\""; }

void Transcript::emit(std::string_view channel, std::string_view text) {
  std::string line;
  line.reserve(channel.size() + 2 + text.size());
  line.append(channel).append(": ").append(text);
  std::lock_guard lock(mutex_);
  if (closed_) return;
  sink_(line);
}

void Transcript::writeLine(std::string_view line) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  sink_(std::string(line));
}

void Transcript::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

}  // namespace brannic::sim
