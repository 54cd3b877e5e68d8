// The information dictionary that a single-file tool carries inside itself
// (the helper has no bundle folder of its own): an XML property list in the
// ELF section "__info_plist", NUL padded to the section's fixed size so that
// the text can be rewritten in place.
#pragma once

#include <optional>
#include <string>

#include "platform/property_list.h"

namespace brannic::sim {

inline constexpr const char* kInfoPlistSectionName = "__info_plist";

// The embedded text (up to the first NUL), or nullopt when `path` is not a
// readable 64-bit little-endian ELF file with that section. A malformed
// file is never read past its end.
std::optional<std::string> readEmbeddedInfoPlist(const std::string& path);

// Replaces the embedded text. False, with `error` saying why, when the file
// has no such section or the text does not fit it (one NUL must remain).
bool writeEmbeddedInfoPlist(const std::string& path, const std::string& text, std::string* error);

// Sets (or, with nullopt, removes) one key of the embedded dictionary and
// writes it back. False, with `error`, when the file carries no dictionary
// or the result does not fit.
bool setEmbeddedInfoValue(const std::string& path, const std::string& key,
                          const std::optional<PropertyValue>& value, std::string* error);

}  // namespace brannic::sim
