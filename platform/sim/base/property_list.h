// XML property lists: the text form of information dictionaries and of the
// simulated machine's small databases.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/property_list.h"

namespace brannic::sim {

// Parses an XML property list: an optional prolog (XML declaration,
// document type, comments), then a `<plist>` element holding one value, or
// the value alone. Values: dict, array, string, integer (decimal or 0x
// hex), real, true, false, data (base64) and date (read as an opaque value
// of type "date"). Returns nullopt and fills `error` (when given) with the
// line and the reason for anything else, including nesting deeper than
// kMaximumPropertyListDepth.
std::optional<PropertyValue> parseXmlPropertyList(std::string_view text, std::string* error = nullptr);

inline constexpr int kMaximumPropertyListDepth = 128;

// The XML property list of `value`, in the platform's layout (tab indents).
// An opaque value is written as a string holding its type name.
std::string xmlPropertyListText(const PropertyValue& value);

// Whether the bytes start (after white space) like an XML document.
bool looksLikeXmlPropertyList(std::string_view bytes);

}  // namespace brannic::sim
