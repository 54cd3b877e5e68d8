#include "platform/sim/base/property_list.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

namespace brannic::sim {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

struct ParseFailure {
  std::string message;
};

// A small recursive-descent reader of the XML that property lists use:
// elements without attributes that matter, character data, entities, CDATA
// sections and comments.
class PlistReader {
 public:
  explicit PlistReader(std::string_view text) : text_(text) {}

  PropertyValue readDocument() {
    skipMisc(/*allowDeclarations=*/true);
    if (atEnd()) fail("the document is empty");
    Tag tag = readTag();
    PropertyValue value;
    if (tag.name == "plist" && !tag.closing) {
      if (tag.selfClosing) fail("<plist> holds no value");
      skipMisc(false);
      value = readValue(readTag(), 0);
      skipMisc(false);
      Tag end = readTag();
      if (!end.closing || end.name != "plist") fail("expected </plist>");
    } else {
      value = readValue(tag, 0);
    }
    skipMisc(false);
    if (!atEnd()) fail("text after the end of the property list");
    return value;
  }

  int lineAt() const {
    return 1 + static_cast<int>(
                   std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(position_), '\n'));
  }

 private:
  struct Tag {
    std::string name;
    bool closing = false;
    bool selfClosing = false;
  };

  [[noreturn]] void fail(const std::string& message) { throw ParseFailure{message}; }
  bool atEnd() const { return position_ >= text_.size(); }
  bool startsWith(std::string_view prefix) const { return text_.substr(position_).starts_with(prefix); }

  void skipPast(std::string_view terminator, const char* what) {
    const std::size_t end = text_.find(terminator, position_);
    if (end == std::string_view::npos) fail(std::string("unterminated ") + what);
    position_ = end + terminator.size();
  }

  // White space and comments; before the root element also the XML
  // declaration, processing instructions and the document type.
  void skipMisc(bool allowDeclarations) {
    for (;;) {
      while (!atEnd() && isSpace(text_[position_])) ++position_;
      if (startsWith("<!--")) {
        skipPast("-->", "comment");
      } else if (allowDeclarations && startsWith("<?")) {
        skipPast("?>", "declaration");
      } else if (allowDeclarations && startsWith("<!DOCTYPE")) {
        skipPast(">", "document type");
      } else {
        return;
      }
    }
  }

  Tag readTag() {
    if (atEnd() || text_[position_] != '<') fail("expected an element");
    ++position_;
    Tag tag;
    if (!atEnd() && text_[position_] == '/') {
      tag.closing = true;
      ++position_;
    }
    const std::size_t nameStart = position_;
    while (!atEnd() && !isSpace(text_[position_]) && text_[position_] != '>' && text_[position_] != '/') {
      ++position_;
    }
    tag.name = std::string(text_.substr(nameStart, position_ - nameStart));
    if (tag.name.empty()) fail("an element without a name");
    // Attributes (plist version="1.0") are skipped, quotes respected.
    char quote = 0;
    while (!atEnd()) {
      const char c = text_[position_];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      }
      ++position_;
    }
    if (atEnd()) fail("unterminated <" + tag.name + ">");
    tag.selfClosing = position_ > nameStart && text_[position_ - 1] == '/';
    ++position_;
    if (tag.closing && tag.selfClosing) fail("malformed </" + tag.name + ">");
    return tag;
  }

  // Character data up to the closing tag of `name`, entities decoded.
  std::string readText(const Tag& tag) {
    std::string out;
    if (tag.selfClosing) return out;
    for (;;) {
      if (atEnd()) fail("unterminated <" + tag.name + ">");
      const char c = text_[position_];
      if (startsWith("<![CDATA[")) {
        position_ += 9;
        const std::size_t end = text_.find("]]>", position_);
        if (end == std::string_view::npos) fail("unterminated CDATA section");
        out.append(text_.substr(position_, end - position_));
        position_ = end + 3;
      } else if (startsWith("<!--")) {
        skipPast("-->", "comment");
      } else if (c == '<') {
        const Tag end = readTag();
        if (!end.closing || end.name != tag.name) fail("expected </" + tag.name + ">");
        return out;
      } else if (c == '&') {
        out += readEntity();
      } else {
        out += c;
        ++position_;
      }
    }
  }

  std::string readEntity() {
    const std::size_t end = text_.find(';', position_);
    if (end == std::string_view::npos || end - position_ > 12) fail("malformed entity");
    const std::string_view entity = text_.substr(position_ + 1, end - position_ - 1);
    position_ = end + 1;
    if (entity == "amp") return "&";
    if (entity == "lt") return "<";
    if (entity == "gt") return ">";
    if (entity == "quot") return "\"";
    if (entity == "apos") return "'";
    if (entity.size() > 1 && entity[0] == '#') {
      const bool hex = entity[1] == 'x' || entity[1] == 'X';
      const std::string_view digits = entity.substr(hex ? 2 : 1);
      std::uint32_t code = 0;
      const auto [last, problem] =
          std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
      if (problem != std::errc() || last != digits.data() + digits.size() || digits.empty()) {
        fail("malformed character reference");
      }
      return encodeUtf8(code);
    }
    fail("unknown entity &" + std::string(entity) + ";");
  }

  std::string encodeUtf8(std::uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      fail("invalid character reference");
    std::string out;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
  }

  PropertyValue readValue(const Tag& tag, int depth) {
    if (tag.closing) fail("unexpected </" + tag.name + ">");
    if (depth > kMaximumPropertyListDepth) fail("nested too deeply");
    if (tag.name == "dict") return readDictionary(tag, depth);
    if (tag.name == "array") return readArray(tag, depth);
    if (tag.name == "string") return readText(tag);
    if (tag.name == "integer") return parseInteger(readText(tag));
    if (tag.name == "real") return parseReal(readText(tag));
    if (tag.name == "true" || tag.name == "false") {
      if (!readText(tag).empty()) fail("<" + tag.name + "> holds text");
      return tag.name == "true";
    }
    if (tag.name == "data") return decodeBase64(readText(tag));
    if (tag.name == "date") {
      readText(tag);
      return OpaqueValue{"date"};
    }
    fail("unknown element <" + tag.name + ">");
  }

  PropertyValue readDictionary(const Tag& tag, int depth) {
    PropertyDictionary dictionary;
    if (tag.selfClosing) return dictionary;
    for (;;) {
      skipMisc(false);
      const Tag keyTag = readTag();
      if (keyTag.closing) {
        if (keyTag.name != "dict") fail("expected </dict>");
        return dictionary;
      }
      if (keyTag.name != "key") fail("expected <key> in <dict>, found <" + keyTag.name + ">");
      std::string key = readText(keyTag);
      skipMisc(false);
      dictionary[std::move(key)] = readValue(readTag(), depth + 1);
    }
  }

  PropertyValue readArray(const Tag& tag, int depth) {
    PropertyArray array;
    if (tag.selfClosing) return array;
    for (;;) {
      skipMisc(false);
      const Tag next = readTag();
      if (next.closing) {
        if (next.name != "array") fail("expected </array>");
        return array;
      }
      array.push_back(readValue(next, depth + 1));
    }
  }

  static std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
  }

  PropertyValue parseInteger(const std::string& raw) {
    std::string_view text = trimmed(raw);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
      negative = text.front() == '-';
      text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
      base = 16;
      text.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    const auto [last, problem] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || problem != std::errc() || last != text.data() + text.size()) {
      fail("malformed integer \"" + raw + "\"");
    }
    constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (negative) {
      if (magnitude > kLargest + 1) fail("integer out of range");
      return magnitude == kLargest + 1 ? std::numeric_limits<std::int64_t>::min()
                                       : -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > kLargest) fail("integer out of range");
    return static_cast<std::int64_t>(magnitude);
  }

  PropertyValue parseReal(const std::string& raw) {
    std::string_view text = trimmed(raw);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [last, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || problem != std::errc() || last != text.data() + text.size()) {
      fail("malformed real \"" + raw + "\"");
    }
    return value;
  }

  PropertyValue decodeBase64(const std::string& text) {
    PropertyData bytes;
    std::uint32_t buffer = 0;
    int bits = 0;
    bool padding = false;
    for (const char c : text) {
      if (isSpace(c)) continue;
      if (c == '=') {
        padding = true;
        continue;
      }
      if (padding) fail("malformed base64 data");
      int digit = -1;
      if (c >= 'A' && c <= 'Z')
        digit = c - 'A';
      else if (c >= 'a' && c <= 'z')
        digit = c - 'a' + 26;
      else if (c >= '0' && c <= '9')
        digit = c - '0' + 52;
      else if (c == '+')
        digit = 62;
      else if (c == '/')
        digit = 63;
      if (digit < 0) fail("malformed base64 data");
      buffer = (buffer << 6) | static_cast<std::uint32_t>(digit);
      bits += 6;
      if (bits >= 8) {
        bits -= 8;
        bytes.push_back(static_cast<std::uint8_t>((buffer >> bits) & 0xFF));
      }
    }
    return bytes;
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

std::string escapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string encodeBase64(const PropertyData& bytes) {
  static constexpr std::string_view kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t group =
        (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) out += kDigits[(group >> shift) & 0x3F];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t group = std::uint32_t{bytes[i]} << 16;
    if (rest == 2) group |= std::uint32_t{bytes[i + 1]} << 8;
    out += kDigits[(group >> 18) & 0x3F];
    out += kDigits[(group >> 12) & 0x3F];
    out += rest == 2 ? kDigits[(group >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

void writeValue(std::string& out, const PropertyValue& value, int indent) {
  const std::string tabs(static_cast<std::size_t>(indent), '\t');
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          out += tabs + "<string>" + escapeMarkup(v) + "</string>\n";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          out += tabs + "<integer>" + std::to_string(v) + "</integer>\n";
        } else if constexpr (std::is_same_v<T, double>) {
          std::array<char, 64> buffer{};
          const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
          out += tabs + "<real>" + std::string(buffer.data(), result.ptr) + "</real>\n";
        } else if constexpr (std::is_same_v<T, bool>) {
          out += tabs + (v ? "<true/>\n" : "<false/>\n");
        } else if constexpr (std::is_same_v<T, PropertyData>) {
          out += tabs + "<data>" + encodeBase64(v) + "</data>\n";
        } else if constexpr (std::is_same_v<T, PropertyArray>) {
          if (v.empty()) {
            out += tabs + "<array/>\n";
            return;
          }
          out += tabs + "<array>\n";
          for (const auto& element : v) writeValue(out, element, indent + 1);
          out += tabs + "</array>\n";
        } else if constexpr (std::is_same_v<T, PropertyDictionary>) {
          if (v.empty()) {
            out += tabs + "<dict/>\n";
            return;
          }
          out += tabs + "<dict>\n";
          for (const auto& [key, element] : v) {
            out += tabs + "\t<key>" + escapeMarkup(key) + "</key>\n";
            writeValue(out, element, indent + 1);
          }
          out += tabs + "</dict>\n";
        } else {
          out += tabs + "<string>" + escapeMarkup(v.typeName) + "</string>\n";
        }
      },
      value.value);
}

}  // namespace

std::optional<PropertyValue> parseXmlPropertyList(std::string_view text, std::string* error) {
  PlistReader reader(text);
  try {
    return reader.readDocument();
  } catch (const ParseFailure& failure) {
    if (error) *error = "line " + std::to_string(reader.lineAt()) + ": " + failure.message;
    return std::nullopt;
  }
}

std::string xmlPropertyListText(const PropertyValue& value) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  writeValue(out, value, 0);
  out += "</plist>\n";
  return out;
}

bool looksLikeXmlPropertyList(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  while (!bytes.empty() && isSpace(bytes.front())) bytes.remove_prefix(1);
  return bytes.starts_with("<?xml") || bytes.starts_with("<!DOCTYPE plist") || bytes.starts_with("<plist");
}

}  // namespace brannic::sim
