#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or 0.
std::size_t wellFormedSequenceLength(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

std::string replacingInvalidUtf8(std::string_view bytes) {
  static constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
  std::string repaired;
  repaired.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = wellFormedSequenceLength(bytes);
    if (length == 0) {
      repaired += kReplacementCharacter;
      bytes.remove_prefix(1);
    } else {
      repaired += bytes.substr(0, length);
      bytes.remove_prefix(length);
    }
  }
  return repaired;
}

}  // namespace

NSString* toNSString(std::string_view text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  if (string != nil) return string;
  const std::string repaired = replacingInvalidUtf8(text);
  string = [[NSString alloc] initWithBytes:repaired.data()
                                    length:repaired.size()
                                  encoding:NSUTF8StringEncoding];
  return string != nil ? string : @"";
}

std::string toStdString(NSString* text) {
  if (text == nil) return {};
  NSData* bytes = [text dataUsingEncoding:NSUTF8StringEncoding allowLossyConversion:YES];
  return toByteString(bytes);
}

NSArray<NSString*>* toNSStringArray(const std::vector<std::string>& texts) {
  NSMutableArray<NSString*>* array = [NSMutableArray arrayWithCapacity:texts.size()];
  for (const std::string& text : texts) [array addObject:toNSString(text)];
  return array;
}

NSData* toNSData(const std::vector<std::uint8_t>& bytes) {
  return [NSData dataWithBytes:bytes.data() length:bytes.size()];
}

std::vector<std::uint8_t> toBytes(NSData* data) {
  if (data == nil || data.length == 0) return {};
  const auto* begin = static_cast<const std::uint8_t*>(data.bytes);
  return std::vector<std::uint8_t>(begin, begin + data.length);
}

std::string toByteString(NSData* data) {
  if (data == nil || data.length == 0) return {};
  return std::string(static_cast<const char*>(data.bytes), data.length);
}

PlatformError toPlatformError(NSError* error) {
  if (error == nil) return {};
  return PlatformError{toStdString(error.domain), static_cast<std::int64_t>(error.code),
                       toStdString(error.description)};
}

}  // namespace brannic::mac
