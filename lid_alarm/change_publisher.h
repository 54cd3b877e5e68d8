// A publisher that tells its subscribers an object is about to change.
//
// Threads: one thread at a time (the owner's); not locked.
#pragma once

#include <functional>
#include <list>
#include <memory>

namespace brannic {

// Keeps one subscription alive; destroying or cancelling it unsubscribes.
// It may outlive its publisher.
class Subscription {
 public:
  Subscription() = default;
  Subscription(Subscription&&) noexcept = default;
  Subscription& operator=(Subscription&& other) noexcept;
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;
  ~Subscription() { cancel(); }

  void cancel();

 private:
  friend class ChangePublisher;
  explicit Subscription(std::function<void()> unsubscribe) : unsubscribe_(std::move(unsubscribe)) {}
  std::function<void()> unsubscribe_;
};

// No caller in the application but the password model; kept with it.
class ChangePublisher {
 public:
  using Handler = std::function<void()>;

  ChangePublisher();
  ChangePublisher(const ChangePublisher&) = delete;
  ChangePublisher& operator=(const ChangePublisher&) = delete;

  // `handler` runs on every later send, until the subscription ends.
  [[nodiscard]] Subscription subscribe(Handler handler);

  // Runs every current handler in subscription order. A handler may cancel
  // subscriptions or subscribe anew: a cancelled one that has not run yet is
  // skipped, a new one first runs on the next send.
  void send();

 private:
  struct Entry {
    Handler handler;
    bool active = true;
  };
  using Entries = std::list<std::shared_ptr<Entry>>;
  // Shared with the subscriptions, which may outlive the publisher.
  std::shared_ptr<Entries> entries_;
};

}  // namespace brannic
