#include "platform/sim/appkit/text_view.h"

#include "platform/sim/base/utf8.h"

namespace brannic::sim {

std::size_t utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t length = validUtf8SequenceLength(utf8, i);
    units += length == 4 ? 2 : 1;  // four bytes: beyond the basic plane, a surrogate pair
    i += length == 0 ? 1 : length;
  }
  return units;
}

void SimTextStorage::appendAttributedString(const AttributedString& string) {
  string_ += string.text;
  utf16Length_ += sim::utf16Length(string.text);
  entries_.push_back(string);
  std::string_view shown = string.text;
  if (shown.ends_with('\n')) shown.remove_suffix(1);
  transcript_.emit("log", escapeText(shown));
}

void SimTextView::scrollRangeToVisible(TextRange range) {
  lastScrolledRange_ = range;
  ++scrollRequests_;
}

bool SimTextView::endIsVisible() const {
  return lastScrolledRange_ && lastScrolledRange_->location + lastScrolledRange_->length == stringLength();
}

}  // namespace brannic::sim
