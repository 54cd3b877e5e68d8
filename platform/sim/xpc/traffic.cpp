#include "platform/sim/xpc/traffic.h"

#include <algorithm>

namespace brannic::sim {

struct SimXpcTraffic::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t messagesInFlight = 0;
  std::map<std::string, std::size_t> openConnections;  // by service
  bool holdOutgoing = false;
  int openWindows = 0;
  bool holds() const { return holdOutgoing && openWindows == 0; }
  std::uint64_t nextConnectionId = 1;
  std::map<std::uint64_t, std::function<void()>> flushers;  // by connection
};

SimXpcTraffic::Ticket::Ticket(std::shared_ptr<Shared> shared, Kind kind, std::string service,
                              ExternalWork work, std::uint64_t id)
    : shared_(std::move(shared)),
      kind_(kind),
      service_(std::move(service)),
      work_(std::move(work)),
      id_(id) {}

SimXpcTraffic::Ticket::Ticket(Ticket&& other) noexcept
    : shared_(std::move(other.shared_)),
      kind_(other.kind_),
      service_(std::move(other.service_)),
      work_(std::move(other.work_)),
      id_(other.id_) {}

SimXpcTraffic::Ticket& SimXpcTraffic::Ticket::operator=(Ticket&& other) noexcept {
  if (this != &other) {
    end();
    shared_ = std::move(other.shared_);
    kind_ = other.kind_;
    service_ = std::move(other.service_);
    work_ = std::move(other.work_);
    id_ = other.id_;
  }
  return *this;
}

void SimXpcTraffic::Ticket::end() {
  if (!shared_) return;
  std::function<void()> flusher;  // let go outside the lock
  {
    std::lock_guard lock(shared_->mutex);
    if (kind_ == Kind::message) {
      --shared_->messagesInFlight;
    } else if (auto found = shared_->openConnections.find(service_);
               found != shared_->openConnections.end()) {
      if (--found->second == 0) shared_->openConnections.erase(found);
      if (auto entry = shared_->flushers.find(id_); entry != shared_->flushers.end()) {
        flusher = std::move(entry->second);
        shared_->flushers.erase(entry);
      }
    }
  }
  shared_->changed.notify_all();
  shared_.reset();
  work_.end();
}

SimXpcTraffic::SimXpcTraffic(Transcript* transcript, SimRunLoop* runLoop)
    : transcript_(transcript), runLoop_(runLoop), shared_(std::make_shared<Shared>()) {}

SimXpcTraffic::Ticket SimXpcTraffic::messageSent(const std::string& service, const std::string& selector,
                                                 const std::vector<XpcValue>& arguments, bool awaitsAnswer) {
  if (transcript_) transcript_->emit("ipc", "send " + escapeText(selector) + describeArguments(arguments));
  if (!awaitsAnswer) return {};
  {
    std::lock_guard lock(shared_->mutex);
    ++shared_->messagesInFlight;
  }
  ExternalWork work = runLoop_ ? runLoop_->beginExternalWork(service) : ExternalWork{};
  return Ticket(shared_, Ticket::Kind::message, service, std::move(work), 0);
}

SimXpcTraffic::Ticket SimXpcTraffic::connectionOpened(const std::string& service,
                                                      std::function<void()> flush) {
  std::uint64_t id;
  {
    std::lock_guard lock(shared_->mutex);
    ++shared_->openConnections[service];
    id = shared_->nextConnectionId++;
    shared_->flushers.emplace(id, std::move(flush));
  }
  return Ticket(shared_, Ticket::Kind::connection, service, ExternalWork{}, id);
}

void SimXpcTraffic::changeHolding(const std::function<void(Shared&)>& change) {
  std::vector<std::function<void()>> flushers;
  {
    std::lock_guard lock(shared_->mutex);
    const bool heldBefore = shared_->holds();
    change(*shared_);
    if (heldBefore && !shared_->holds()) {
      for (const auto& [id, flush] : shared_->flushers) flushers.push_back(flush);
    }
  }
  for (const auto& flush : flushers) flush();
}

void SimXpcTraffic::setHoldOutgoing(bool hold) {
  changeHolding([hold](Shared& shared) { shared.holdOutgoing = hold; });
}

void SimXpcTraffic::openWindow() {
  changeHolding([](Shared& shared) { ++shared.openWindows; });
}

void SimXpcTraffic::closeWindow() {
  changeHolding([](Shared& shared) { --shared.openWindows; });
}

bool SimXpcTraffic::holdsOutgoing() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->holds();
}

void SimXpcTraffic::setIncomingHook(std::function<void()> hook) {
  std::lock_guard lock(namesMutex_);
  incomingHook_ = std::move(hook);
}

void SimXpcTraffic::noteIncoming() {
  std::function<void()> hook;
  {
    std::lock_guard lock(namesMutex_);
    hook = incomingHook_;
  }
  if (hook) hook();
}

bool SimXpcTraffic::awaitAnswers(std::chrono::milliseconds timeout) {
  OutgoingWindow window(*this);
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, timeout, [&] { return shared_->messagesInFlight == 0; });
}

bool SimXpcTraffic::awaitConnectionsClosed(const std::string& service, std::chrono::milliseconds timeout) {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, timeout,
                                   [&] { return shared_->openConnections.count(service) == 0; });
}

std::size_t SimXpcTraffic::messagesInFlight() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->messagesInFlight;
}

std::string SimXpcTraffic::describeArguments(const std::vector<XpcValue>& arguments) {
  std::string text;
  for (const auto& argument : arguments) {
    text += ' ';
    if (const auto* string = std::get_if<std::string>(&argument)) {
      text += quoted(*string);
    } else if (const auto* data = std::get_if<XpcData>(&argument)) {
      std::lock_guard lock(namesMutex_);
      const auto [entry, added] = dataNumbers_.try_emplace(*data, static_cast<int>(dataNumbers_.size()) + 1);
      text += "auth#" + std::to_string(entry->second);
    } else if (const auto* number = std::get_if<std::int64_t>(&argument)) {
      text += std::to_string(*number);
    } else {
      text += "nil";
    }
  }
  return text;
}

}  // namespace brannic::sim
