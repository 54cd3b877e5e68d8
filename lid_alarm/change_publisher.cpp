#include "lid_alarm/change_publisher.h"

#include <utility>
#include <vector>

namespace brannic {

Subscription& Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    cancel();
    unsubscribe_ = std::exchange(other.unsubscribe_, nullptr);
  }
  return *this;
}

void Subscription::cancel() {
  if (auto unsubscribe = std::exchange(unsubscribe_, nullptr)) unsubscribe();
}

ChangePublisher::ChangePublisher() : entries_(std::make_shared<Entries>()) {}

Subscription ChangePublisher::subscribe(Handler handler) {
  auto entry = std::make_shared<Entry>(Entry{std::move(handler), true});
  entries_->push_back(entry);
  std::weak_ptr<Entries> weakEntries = entries_;
  return Subscription([weakEntries, weakEntry = std::weak_ptr<Entry>(entry)] {
    auto entries = weakEntries.lock();
    auto target = weakEntry.lock();
    if (!target) return;
    target->active = false;
    if (entries) entries->remove(target);
  });
}

void ChangePublisher::send() {
  // A snapshot, so handlers can change the subscriber list while it is sent.
  const std::vector<std::shared_ptr<Entry>> snapshot(entries_->begin(), entries_->end());
  for (const auto& entry : snapshot) {
    if (entry->active) entry->handler();
  }
}

}  // namespace brannic
