// The window's text view and its text storage: the output log. Each entry
// appended to the storage is printed as `log: <text>`, without the one line
// feed that ends it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/app_kit.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

// The number of UTF-16 code units the text takes as a platform string. A
// byte that is not part of valid UTF-8 counts as one (it would read as a
// replacement character).
std::size_t utf16Length(std::string_view utf8);

class SimTextStorage final : public TextStorage {
 public:
  explicit SimTextStorage(Transcript& transcript) : transcript_(transcript) {}
  void appendAttributedString(const AttributedString& string) override;

  const std::string& string() const { return string_; }
  std::size_t utf16Length() const { return utf16Length_; }
  // The appended entries in order, with their fonts.
  const std::vector<AttributedString>& entries() const { return entries_; }

 private:
  Transcript& transcript_;
  std::string string_;
  std::size_t utf16Length_ = 0;
  std::vector<AttributedString> entries_;
};

class SimTextView final : public TextView {
 public:
  SimTextView(Transcript& transcript, std::string outlet)
      : outlet_(std::move(outlet)), storage_(transcript) {}

  TextStorage* textStorage() override { return &storage_; }
  std::size_t stringLength() const override { return storage_.utf16Length(); }
  // Recorded in the view's state; not an event of the transcript.
  void scrollRangeToVisible(TextRange range) override;

  const std::string& outlet() const { return outlet_; }
  const SimTextStorage& storage() const { return storage_; }
  // The range last scrolled into view, if any, and how many scroll requests
  // came.
  const std::optional<TextRange>& lastScrolledRange() const { return lastScrolledRange_; }
  std::size_t scrollRequests() const { return scrollRequests_; }
  // Whether the end of the text is in view after the last scroll request.
  bool endIsVisible() const;

 private:
  std::string outlet_;
  SimTextStorage storage_;
  std::optional<TextRange> lastScrolledRange_;
  std::size_t scrollRequests_ = 0;
};

}  // namespace brannic::sim
