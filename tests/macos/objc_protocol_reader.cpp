#include "tests/macos/objc_protocol_reader.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace brannic::test {

namespace {

[[noreturn]] void fail(const std::string& why) { throw ObjcDeclarationError(why); }

std::string withoutComments(std::string_view text) {
  std::string kept;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, 2) == "//") {
      i = text.find('\n', i);
      if (i == std::string_view::npos) break;
    } else if (text.substr(i, 2) == "/*") {
      const auto end = text.find("*/", i + 2);
      if (end == std::string_view::npos) fail("unterminated comment");
      i = end + 2;
      kept += ' ';
    } else {
      kept += text[i++];
    }
  }
  return kept;
}

// The type's words and punctuation, one blank between each, without
// nullability words: "NSString*_Nonnull" gives "NSString *".
std::string normalizedType(std::string_view type) {
  static constexpr std::string_view kIgnored[] = {"nullable", "nonnull", "_Nullable", "_Nonnull"};
  std::vector<std::string> tokens;
  for (std::size_t i = 0; i < type.size();) {
    const char c = type[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t end = i;
      while (end < type.size() && (std::isalnum(static_cast<unsigned char>(type[end])) || type[end] == '_'))
        ++end;
      const std::string_view word = type.substr(i, end - i);
      if (std::find(std::begin(kIgnored), std::end(kIgnored), word) == std::end(kIgnored))
        tokens.emplace_back(word);
      i = end;
    } else {
      tokens.emplace_back(1, c);
      ++i;
    }
  }
  std::string joined;
  for (const std::string& token : tokens) joined += (joined.empty() ? "" : " ") + token;
  return joined;
}

// An object pointer "NSString *": the class it points to.
std::optional<XpcClass> objectClass(const std::string& type) {
  static const std::string kPointer = " *";
  if (type.size() <= kPointer.size() ||
      type.compare(type.size() - kPointer.size(), kPointer.size(), kPointer) != 0)
    return std::nullopt;
  return xpcClassNamed(std::string_view(type).substr(0, type.size() - kPointer.size()));
}

// A reply block "void (^)(NSNumber * exitCode)": the class it receives.
std::optional<XpcClass> replyBlockClass(const std::string& type) {
  static const std::string kPrefix = "void ( ^ ) (";
  static const std::string kSuffix = " )";
  if (type.size() < kPrefix.size() + kSuffix.size() || type.rfind(kPrefix, 0) != 0 ||
      type.compare(type.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
    return std::nullopt;
  std::string parameter = type.substr(kPrefix.size(), type.size() - kPrefix.size() - kSuffix.size());
  // Drop the parameter's name, if any: what follows the last '*'.
  const auto star = parameter.rfind('*');
  if (star == std::string::npos) return std::nullopt;
  parameter.erase(star + 1);
  return objectClass(normalizedType(parameter));
}

class MethodReader {
 public:
  explicit MethodReader(std::string_view declaration) : text_(declaration) {}

  XpcMethod read() {
    skipSpace();
    if (!consume('-')) fail("not an instance method: " + std::string(text_));
    if (normalizedType(parenthesized()) != "void")
      fail("a method that returns a value: " + std::string(text_));
    XpcMethod method;
    std::size_t objectArguments = 0;
    bool hasBlock = false;
    for (;;) {
      skipSpace();
      if (position_ == text_.size()) break;
      const std::string keyword = identifier();
      skipSpace();
      if (!consume(':')) {
        if (!method.selector.empty()) fail("a selector part without an argument: " + std::string(text_));
        method.selector = keyword;
        skipSpace();
        if (position_ != text_.size()) fail("unexpected text in " + std::string(text_));
        break;
      }
      method.selector += keyword + ":";
      const std::string type = normalizedType(parenthesized());
      skipSpace();
      identifier();  // the parameter's name
      if (hasBlock) fail("an argument after the reply block: " + std::string(text_));
      if (const auto argumentClass = objectClass(type)) {
        method.argumentClasses.push_back(*argumentClass);
        ++objectArguments;
      } else if (const auto replyClass = replyBlockClass(type)) {
        method.replyClass = *replyClass;
        hasBlock = true;
      } else {
        fail("an argument of an unsupported type (" + type + ") in " + std::string(text_));
      }
    }
    if (method.selector.empty()) fail("a method without a selector");
    method.typeEncoding = encoding(objectArguments, hasBlock);
    return method;
  }

 private:
  // void, then the frame size, then self (@) at 0, _cmd (:) at 8 and each
  // argument at the next multiple of 8: objects are @, blocks @?.
  static std::string encoding(std::size_t objectArguments, bool hasBlock) {
    const std::size_t arguments = objectArguments + (hasBlock ? 1 : 0);
    std::string encoded = "v";
    encoded.append(std::to_string(16 + 8 * arguments)).append("@0:8");
    for (std::size_t i = 0; i < arguments; ++i)
      encoded.append(i == objectArguments ? "@?" : "@").append(std::to_string(16 + 8 * i));
    return encoded;
  }

  void skipSpace() {
    while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_])))
      ++position_;
  }
  bool consume(char c) {
    if (position_ < text_.size() && text_[position_] == c) {
      ++position_;
      return true;
    }
    return false;
  }
  std::string identifier() {
    const std::size_t start = position_;
    while (position_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[position_])) || text_[position_] == '_'))
      ++position_;
    if (start == position_) fail("expected a name in " + std::string(text_));
    return std::string(text_.substr(start, position_ - start));
  }
  // The text inside balanced parentheses at the current position.
  std::string parenthesized() {
    skipSpace();
    if (!consume('(')) fail("expected '(' in " + std::string(text_));
    const std::size_t start = position_;
    for (int depth = 1; depth > 0; ++position_) {
      if (position_ == text_.size()) fail("unbalanced parentheses in " + std::string(text_));
      if (text_[position_] == '(') ++depth;
      if (text_[position_] == ')') --depth;
    }
    return std::string(text_.substr(start, position_ - 1 - start));
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::optional<XpcClass> xpcClassNamed(std::string_view name) {
  for (const XpcClass xpcClass : {XpcClass::string, XpcClass::data, XpcClass::number})
    if (name == xpcClassName(xpcClass)) return xpcClass;
  return std::nullopt;
}

std::vector<XpcInterface> readObjcProtocols(std::string_view header) {
  const std::string text = withoutComments(header);
  std::vector<XpcInterface> protocols;
  for (std::size_t at = text.find("@protocol"); at != std::string::npos; at = text.find("@protocol", at)) {
    at += std::string_view("@protocol").size();
    const auto nameEnd = text.find_first_of(";<\n {", text.find_first_not_of(" \t", at));
    const std::string name = trimmed(std::string_view(text).substr(at, nameEnd - at));
    if (nameEnd != std::string::npos && text[nameEnd] == ';') continue;  // a forward declaration
    const auto end = text.find("@end", at);
    if (end == std::string::npos) fail("@protocol " + name + " has no @end");
    std::string body = text.substr(nameEnd, end - nameEnd);
    // An adopted-protocol list would bring in methods this reader cannot see.
    if (trimmed(body).rfind('<', 0) == 0) fail("@protocol " + name + " adopts other protocols");

    XpcInterface protocol{name, {}};
    std::size_t start = 0;
    for (std::size_t semicolon = body.find(';'); semicolon != std::string::npos;
         start = semicolon + 1, semicolon = body.find(';', start)) {
      std::string declaration = trimmed(std::string_view(body).substr(start, semicolon - start));
      if (declaration.rfind("@required", 0) == 0) declaration = trimmed(declaration.substr(9));
      if (declaration.rfind("@", 0) == 0) fail("@protocol " + name + " holds " + declaration);
      protocol.methods.push_back(MethodReader(declaration).read());
    }
    if (!trimmed(std::string_view(body).substr(start)).empty())
      fail("@protocol " + name + " ends with an unterminated declaration");
    protocols.push_back(std::move(protocol));
    at = end;
  }
  return protocols;
}

}  // namespace brannic::test
