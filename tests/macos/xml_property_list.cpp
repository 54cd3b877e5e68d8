#include "tests/macos/xml_property_list.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace brannic::test {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  PropertyValue document() {
    skipProlog();
    const std::string open = openTag();
    if (open.rfind("plist", 0) != 0) fail("the document is not a plist");
    PropertyValue value = element();
    closeTag("plist");
    skipSpaceAndComments();
    if (position_ != text_.size()) fail("text after the plist");
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& why) const {
    throw PropertyListError(why + " (at byte " + std::to_string(position_) + ")");
  }

  void skipSpaceAndComments() {
    for (;;) {
      while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_])))
        ++position_;
      if (text_.substr(position_, 4) != "<!--") return;
      const auto end = text_.find("-->", position_);
      if (end == std::string_view::npos) fail("unterminated comment");
      position_ = end + 3;
    }
  }

  void skipProlog() {
    for (;;) {
      skipSpaceAndComments();
      if (text_.substr(position_, 2) != "<?" && text_.substr(position_, 2) != "<!") return;
      const auto end = text_.find('>', position_);
      if (end == std::string_view::npos) fail("unterminated declaration");
      position_ = end + 1;
    }
  }

  // The tag's name and attributes, e.g. "dict" or "true/" for an empty one.
  std::string openTag() {
    skipSpaceAndComments();
    if (position_ >= text_.size() || text_[position_] != '<' || text_.substr(position_, 2) == "</")
      fail("expected an element");
    const auto end = text_.find('>', position_);
    if (end == std::string_view::npos) fail("unterminated tag");
    std::string tag(text_.substr(position_ + 1, end - position_ - 1));
    position_ = end + 1;
    return tag;
  }

  bool atCloseTag(std::string_view name) {
    skipSpaceAndComments();
    return text_.substr(position_, 2 + name.size()) == std::string("</") + std::string(name);
  }

  void closeTag(std::string_view name) {
    skipSpaceAndComments();
    const std::string expected = "</" + std::string(name) + ">";
    if (text_.substr(position_, expected.size()) != expected) fail("expected " + expected);
    position_ += expected.size();
  }

  // The character data up to the closing tag, with the five entities undone.
  std::string textUntilClose(std::string_view name) {
    const auto end = text_.find('<', position_);
    if (end == std::string_view::npos) fail("unterminated " + std::string(name));
    std::string raw(text_.substr(position_, end - position_));
    position_ = end;
    closeTag(name);
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        text += raw[i];
        continue;
      }
      static constexpr std::pair<std::string_view, char> kEntities[] = {
          {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
      bool known = false;
      for (const auto& [entity, character] : kEntities) {
        if (std::string_view(raw).substr(i, entity.size()) == entity) {
          text += character;
          i += entity.size() - 1;
          known = true;
          break;
        }
      }
      if (!known) fail("unknown entity in " + std::string(name));
    }
    return text;
  }

  PropertyValue element() {
    const std::string tag = openTag();
    if (tag == "true/") return PropertyValue{true};
    if (tag == "false/") return PropertyValue{false};
    if (tag == "string/") return PropertyValue{std::string()};
    if (tag == "dict/") return PropertyValue{PropertyDictionary{}};
    if (tag == "array/") return PropertyValue{PropertyArray{}};
    if (tag == "string") return PropertyValue{textUntilClose("string")};
    if (tag == "integer") {
      const std::string digits = textUntilClose("integer");
      std::size_t used = 0;
      std::int64_t number = 0;
      try {
        number = std::stoll(digits, &used);
      } catch (const std::exception&) {
        fail("not an integer: " + digits);
      }
      if (used != digits.size()) fail("not an integer: " + digits);
      return PropertyValue{number};
    }
    if (tag == "real") {
      const std::string digits = textUntilClose("real");
      try {
        return PropertyValue{std::stod(digits)};
      } catch (const std::exception&) {
        fail("not a real: " + digits);
      }
    }
    if (tag == "array") {
      PropertyArray elements;
      while (!atCloseTag("array")) elements.push_back(element());
      closeTag("array");
      return PropertyValue{std::move(elements)};
    }
    if (tag == "dict") {
      PropertyDictionary entries;
      while (!atCloseTag("dict")) {
        if (openTag() != "key") fail("a dict entry without a key");
        std::string key = textUntilClose("key");
        if (entries.count(key) != 0) fail("duplicate key " + key);
        entries.emplace(std::move(key), element());
      }
      closeTag("dict");
      return PropertyValue{std::move(entries)};
    }
    fail("unsupported element <" + tag + ">");
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace

PropertyValue readXmlPropertyList(std::string_view text) { return Reader(text).document(); }

PropertyValue readXmlPropertyListFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw PropertyListError("cannot open " + path);
  std::ostringstream text;
  text << file.rdbuf();
  return readXmlPropertyList(text.str());
}

}  // namespace brannic::test
