#include "platform/sim/xpc/connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <future>
#include <map>
#include <optional>

#include "platform/sim/xpc/errors.h"
#include "platform/sim/xpc/wire.h"

namespace brannic::sim {

namespace {

using Clock = std::chrono::steady_clock;
using ErrorHandler = std::function<void(const PlatformError&)>;

// A frame that has stopped arriving part-way counts as truncated after this.
constexpr auto kIncompleteFrameTimeout = std::chrono::seconds(2);
// How long a client waits for a service whose queue of pending connections
// is full (it does not accept) before its messages fail.
constexpr auto kConnectTimeout = std::chrono::seconds(2);
constexpr std::size_t kReadChunk = 64 * 1024;
// What one connection may hold for a peer that does not keep up:
//  - bytes queued to send that the socket has not taken. Only a peer that
//    stopped reading lets them pile up beyond the socket's own buffers, so a
//    connection past this is dropped. Room for two frames of the largest
//    size: a peer that reads never comes near it.
//  - calls received whose replies have not been queued yet. Once more than
//    kReadOnWhileAwaiting wait, the queue reads no more than one chunk
//    before it lets the replies out, which bounds them for a synchronous
//    exported object (one chunk holds fewer than 3500 calls); the limit
//    catches an object that keeps replies back, and that peer is dropped too.
constexpr std::size_t kMaxUnsentBytes = 2 * (wire::kMaxPayloadSize + wire::kHeaderSize);
constexpr std::size_t kReadOnWhileAwaiting = 256;
constexpr std::size_t kMaxCallsAwaitingReplies = 4096;
// Sent bytes are cut off the front of the queue once they are this many.
constexpr std::size_t kCompactAfterBytes = 64 * 1024;
// Without a wake-up pipe (the process was out of descriptors) the queue
// looks for work this often, so that it still finishes.
constexpr int kUnwakeablePollMilliseconds = 10;

// Why a connection ends, which decides the error its messages get.
enum class Ending {
  local,   // invalidate() or the last reference went: 4099 "from this process"
  lookup,  // the service could not be found: 4099 with the lookup failure
  broken,  // the connection broke: 4097 for messages awaiting replies
};

}  // namespace

class SimXpcConnection::Core {
 public:
  Core(std::string description, std::string serviceName, SimXpcServiceLookup* lookup, SimXpcTraffic* traffic)
      : description_(std::move(description)),
        serviceName_(std::move(serviceName)),
        lookup_(lookup),
        traffic_(traffic) {}

  // Any thread.

  void post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.wake();
  }

  void requestStop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.wake();
  }

  void setExportedInterface(const XpcInterface& interface) {
    std::lock_guard lock(mutex_);
    exportedInterface_ = interface;
  }
  void setExportedObject(std::shared_ptr<XpcExportedObject> object) {
    std::shared_ptr<XpcExportedObject> previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(exported_, std::move(object));
  }
  void setRemoteObjectInterface(const XpcInterface& interface) {
    std::lock_guard lock(mutex_);
    remoteInterface_ = interface;
  }
  void setInvalidationHandler(std::function<void()> handler) {
    std::function<void()> previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(invalidationHandler_, std::move(handler));
  }
  void setEndedHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    endedHook_ = std::move(hook);
  }
  bool conformsToProtocol(const std::string& protocolName) {
    std::lock_guard lock(mutex_);
    return remoteInterface_ && remoteInterface_->protocolName == protocolName;
  }

  bool isInvalidated() const { return invalidated_.load(); }
  bool hasEnded() const { return ended_.load(); }
  const std::string& description() const { return description_; }

  // Marks the connection resumed; true when messages were sent before, so
  // that the connection must be made now.
  bool markResumed() {
    std::lock_guard lock(mutex_);
    resumed_ = true;
    return anySent_;
  }

  void send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply,
            ErrorHandler errorHandler) {
    const bool awaitsReply = static_cast<bool>(reply);
    const std::uint64_t replyId = awaitsReply ? nextReplyId_.fetch_add(1) : 0;
    auto message = std::make_shared<Outgoing>();
    message->selector = selector;
    message->reply = std::move(reply);
    message->errorHandler = std::move(errorHandler);
    if (traffic_) message->ticket = traffic_->messageSent(serviceName_, selector, arguments, awaitsReply);
    message->frame = wire::encode(wire::Call{replyId, selector, std::move(arguments)});
    bool resumed;
    {
      std::lock_guard lock(mutex_);
      anySent_ = true;
      resumed = resumed_;
    }
    // Queued before the connection is made, so that a failed lookup ends
    // this message before the invalidation handler runs.
    post([this, replyId, message] { queueMessage(replyId, std::move(*message)); });
    if (resumed) connectOnce();
  }

  void invalidate() {
    post([this] { end(Ending::local, ""); });
  }

  // Client connections: looks the service up, once, on the calling thread;
  // the queue then connects, waiting a bounded time for a service that does
  // not take connections, so that its messages end in their error handlers.
  void connectOnce() {
    std::lock_guard lock(connectMutex_);
    if (connectAttempted_) return;
    connectAttempted_ = true;
    const std::optional<std::string> path = lookup_ ? lookup_->lookUpService(serviceName_) : std::nullopt;
    post([this, path] {
      if (invalidatedOnQueue_) return;
      bool timedOut = false;
      OwnedFd socket;
      if (path) socket = connectToPathWithin(*path, kConnectTimeout, nullptr, &timedOut);
      if (timedOut) {
        return end(Ending::broken, "the service did not take the connection within " +
                                       std::to_string(kConnectTimeout.count()) + " s");
      }
      if (!socket.valid()) return end(Ending::lookup, kLookupFailedReason);
      socket_ = std::move(socket);
      if (traffic_) {
        std::weak_ptr<Core> weak = self_;
        connectionTicket_ = traffic_->connectionOpened(serviceName_, [weak] {
          if (auto core = weak.lock()) core->post([raw = core.get()] { raw->flush(); });
        });
      }
      flush();
    });
  }

  // The server end: the socket is there from the start.
  void adoptAcceptedSocket(OwnedFd socket) {
    std::lock_guard lock(connectMutex_);
    connectAttempted_ = true;
    socket_ = std::move(socket);
  }

  // The connection's queue.
  void run() {
    if (!wake_.valid()) {
      // Nothing could wake the queue: the connection cannot work, so it ends
      // at once, telling the other side why.
      const std::string why = "out of file descriptors: " + systemErrorText(wake_.creationError());
      sayGoodbye("the connection (" + why + ")");
      end(Ending::broken, why);
    }
    for (;;) {
      std::deque<std::function<void()>> batch;
      bool stop;
      {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
        stop = stop_;
      }
      for (auto& task : batch) task();
      batch.clear();
      if (stop) {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) break;
        continue;
      }
      waitForEvents();
    }
    socket_.reset();
  }

 private:
  struct Outgoing {
    std::string selector;
    XpcReply reply;
    ErrorHandler errorHandler;
    SimXpcTraffic::Ticket ticket;
    std::vector<std::uint8_t> frame;
  };

  // Everything below runs on the connection's queue only.

  void waitForEvents() {
    pollfd fds[2] = {{wake_.readFd(), POLLIN, 0}, {-1, 0, 0}};
    nfds_t count = 1;
    if (socket_.valid()) {
      const bool writing = !out_.empty() && !holdsOutgoing();
      fds[1] = {socket_.get(), static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
      count = 2;
    }
    int timeout = wake_.valid() ? -1 : kUnwakeablePollMilliseconds;
    if (reader_.bufferedBytes() > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          lastProgress_ + kIncompleteFrameTimeout - Clock::now());
      const int untilTruncated = static_cast<int>(std::max<std::int64_t>(0, left.count()) + 1);
      timeout = timeout < 0 ? untilTruncated : std::min(timeout, untilTruncated);
    }
    if (::poll(fds, count, timeout) < 0 && errno != EINTR) return;
    if (fds[0].revents != 0) wake_.drain();
    if (count == 2 && fds[1].revents != 0) {
      if (fds[1].revents & POLLOUT) flush();
      if (socket_.valid() && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) readAvailable();
    }
    if (socket_.valid() && reader_.bufferedBytes() > 0 &&
        Clock::now() - lastProgress_ >= kIncompleteFrameTimeout)
      refuse("a truncated frame (" + std::to_string(reader_.bufferedBytes()) + " of " +
             std::to_string(reader_.expectedBytes()) + " bytes, then nothing for " +
             std::to_string(kIncompleteFrameTimeout.count()) + " s)");
  }

  // Reads and drops whatever still arrives until the other side closes.
  void awaitPeerClosed(Clock::time_point deadline) {
    std::uint8_t buffer[kReadChunk];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return;
      pollfd polled{socket_.get(), POLLIN, 0};
      const int ready = ::poll(&polled, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return;
      const ssize_t received = ::recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
      if (received == 0 || (received < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
        return;
    }
  }

  void queueMessage(std::uint64_t replyId, Outgoing message) {
    if (invalidatedOnQueue_) return fail(message, sendAfterEndError());
    const std::size_t payloadSize = message.frame.size() - wire::kHeaderSize;
    std::vector<std::uint8_t> frame = std::move(message.frame);
    if (replyId != 0) {
      pending_.emplace(replyId, std::move(message));
    } else {
      unanswered_.push_back(std::move(message));
    }
    if (payloadSize > wire::kMaxPayloadSize) {
      return end(Ending::broken, "a message to send is too large (" + std::to_string(payloadSize) +
                                     " bytes; the limit is " + std::to_string(wire::kMaxPayloadSize) + ")");
    }
    enqueue(frame);  // while still connecting, the frame goes once connected
  }

  // Queues a frame and sends what the socket takes; drops the connection
  // when the other side has left too much unread.
  void enqueue(const std::vector<std::uint8_t>& frame) {
    out_.insert(out_.end(), frame.begin(), frame.end());
    flush();
    if (invalidatedOnQueue_ || !socket_.valid() || out_.size() - outSent_ <= kMaxUnsentBytes) return;
    const std::string limit = std::to_string(kMaxUnsentBytes);
    sayGoodbye("the connection (what it was sent went unread: more than " + limit + " bytes waiting)");
    end(Ending::broken, "the other side stopped reading (more than " + limit + " bytes wait to be sent)");
  }

  bool holdsOutgoing() const { return traffic_ && traffic_->holdsOutgoing(); }

  void flush() {
    if (!socket_.valid() || holdsOutgoing()) return;
    while (outSent_ < out_.size()) {
      const ssize_t written =
          ::send(socket_.get(), out_.data() + outSent_, out_.size() - outSent_, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (written > 0) {
        outSent_ += static_cast<std::size_t>(written);
      } else if (written < 0 && errno == EINTR) {
        continue;
      } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        // The rest goes when the socket takes it.
        if (outSent_ >= kCompactAfterBytes && outSent_ >= out_.size() / 2) {
          out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outSent_));
          outSent_ = 0;
        }
        return;
      } else {
        // The other side is gone; what it said last explains why.
        readAvailable();
        if (!invalidatedOnQueue_) end(Ending::broken, "the other side closed the connection");
        return;
      }
    }
    out_.clear();
    outSent_ = 0;
    unanswered_.clear();
  }

  void readAvailable() {
    std::uint8_t buffer[kReadChunk];
    while (socket_.valid() && !invalidatedOnQueue_) {
      const ssize_t received = ::recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
      if (received > 0) {
        reader_.append(buffer, static_cast<std::size_t>(received));
        lastProgress_ = Clock::now();
        handleFrames();
        // Replies go out before more calls come in: the queue runs them next.
        if (callsAwaitingReplies_ > kReadOnWhileAwaiting) return;
      } else if (received < 0 && errno == EINTR) {
        continue;
      } else if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return;
      } else {
        return peerClosed();
      }
    }
  }

  void handleFrames() {
    while (!invalidatedOnQueue_) {
      std::optional<std::vector<std::uint8_t>> payload = reader_.next();
      if (!payload) {
        if (const auto size = reader_.oversizedLength())
          refuse("an oversized frame (" + std::to_string(*size) + " bytes; the limit is " +
                 std::to_string(wire::kMaxPayloadSize) + ")");
        return;
      }
      std::string error;
      std::optional<wire::Message> message = wire::decodePayload(payload->data(), payload->size(), &error);
      if (!message) return refuse("a garbled frame (" + error + ")");
      if (auto* call = std::get_if<wire::Call>(&*message)) {
        handleCall(std::move(*call));
      } else if (auto* reply = std::get_if<wire::Reply>(&*message)) {
        handleReply(std::move(*reply));
      } else {
        peerGoodbye_ = std::get<wire::Goodbye>(*message).reason;
      }
    }
  }

  void handleCall(wire::Call call) {
    std::optional<XpcInterface> interface;
    std::shared_ptr<XpcExportedObject> object;
    {
      std::lock_guard lock(mutex_);
      interface = exportedInterface_;
      object = exported_;
    }
    if (!interface || !object)
      return refuse("a call to " + call.selector + ", but this side exports no object");
    if (auto why = wire::violation(*interface, call))
      return refuse("a message " + interface->protocolName + " does not allow: " + *why);
    if (traffic_) traffic_->noteIncoming();
    XpcReply reply;
    if (call.replyId != 0) {
      if (callsAwaitingReplies_ >= kMaxCallsAwaitingReplies) {
        const std::string limit = std::to_string(kMaxCallsAwaitingReplies);
        sayGoodbye("the connection (more than " + limit + " of its calls awaited replies)");
        return end(Ending::broken, "more than " + limit + " calls from the other side awaited replies");
      }
      ++callsAwaitingReplies_;
      reply = replyBlock(call.replyId);
    }
    object->invoke(call.selector, std::move(call.arguments), std::move(reply));
  }

  // The block handed to the exported object: its first call sends the reply
  // from the connection's queue, whatever thread calls it.
  XpcReply replyBlock(std::uint64_t replyId) {
    auto used = std::make_shared<std::atomic<bool>>(false);
    std::weak_ptr<Core> weak = self_;
    return [weak, used, replyId](XpcValue value) {
      if (used->exchange(true)) return;
      auto core = weak.lock();
      if (!core) return;
      auto frame =
          std::make_shared<std::vector<std::uint8_t>>(wire::encode(wire::Reply{replyId, std::move(value)}));
      Core* raw = core.get();
      raw->post([raw, frame] {
        if (raw->invalidatedOnQueue_) return;
        --raw->callsAwaitingReplies_;
        raw->enqueue(*frame);
      });
    };
  }

  void handleReply(wire::Reply reply) {
    auto found = pending_.find(reply.replyId);
    if (found == pending_.end()) return refuse("a reply to unknown message " + std::to_string(reply.replyId));
    std::optional<XpcMethod> method;
    {
      std::lock_guard lock(mutex_);
      if (remoteInterface_) {
        if (const XpcMethod* declared = remoteInterface_->method(found->second.selector)) method = *declared;
      }
    }
    if (method) {
      if (auto why = wire::replyViolation(*method, reply.value)) {
        Outgoing message = std::move(found->second);
        pending_.erase(found);
        fail(message, replyInvalidError(description_, message.selector, *why));
        return refuse("an invalid reply to " + message.selector + ": " + *why);
      }
    }
    Outgoing message = std::move(found->second);
    pending_.erase(found);
    if (traffic_) traffic_->noteIncoming();
    if (message.reply) message.reply(std::move(reply.value));
    message.ticket.end();
  }

  // The other side sent something this side does not accept: tell it why,
  // then drop the connection.
  void refuse(const std::string& problem) {
    sayGoodbye(problem);
    end(Ending::broken, "received " + problem);
  }

  // Tells the other side why this side is about to drop the connection; the
  // other side reports it as "the other side refused <reason>".
  void sayGoodbye(const std::string& reason) {
    if (!socket_.valid()) return;
    // After whatever is still queued, so that no frame is cut in two.
    const auto goodbye = wire::encode(wire::Goodbye{reason});
    out_.insert(out_.end(), goodbye.begin(), goodbye.end());
    while (outSent_ < out_.size()) {
      const ssize_t written = ::send(socket_.get(), out_.data() + outSent_, out_.size() - outSent_,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
      if (written <= 0) break;  // best effort: the connection ends either way
      outSent_ += static_cast<std::size_t>(written);
    }
  }

  void peerClosed() {
    std::string reason;
    if (!peerGoodbye_.empty()) {
      reason = "the other side refused " + peerGoodbye_;
    } else if (reader_.bufferedBytes() > 0) {
      reason = "received a truncated frame (" + std::to_string(reader_.bufferedBytes()) + " of " +
               std::to_string(reader_.expectedBytes()) +
               " bytes) before the other side closed the connection";
    } else {
      reason = "the other side closed the connection";
    }
    end(Ending::broken, reason);
  }

  PlatformError sendAfterEndError() const {
    if (ending_ == Ending::local) return invalidatedError(description_, "");
    return invalidatedError(description_, endReason_);
  }

  void fail(Outgoing& message, const PlatformError& error) {
    if (message.errorHandler) message.errorHandler(error);
    message.ticket.end();
  }

  // Invalidates the connection: messages awaiting replies end in their
  // error handlers, in the order sent, then the invalidation handler runs.
  void end(Ending ending, const std::string& reason) {
    if (invalidatedOnQueue_) return;
    markInvalidated(ending, reason);

    const PlatformError error =
        ending == Ending::broken ? interruptedError(description_, reason) : sendAfterEndError();
    auto pending = std::move(pending_);
    pending_.clear();
    auto unanswered = std::move(unanswered_);
    unanswered_.clear();
    for (auto& [id, message] : pending) fail(message, error);
    for (auto& message : unanswered) fail(message, error);

    Leftovers leftovers = takeLeftovers();
    if (leftovers.invalidationHandler) leftovers.invalidationHandler();
    finishEnding(std::move(leftovers));
  }

  // What an ending lets go of, taken at once so that nothing set later runs.
  struct Leftovers {
    std::function<void()> invalidationHandler;
    std::function<void()> endedHook;
    std::shared_ptr<XpcExportedObject> exported;
  };

  void markInvalidated(Ending ending, const std::string& reason) {
    invalidatedOnQueue_ = true;
    ending_ = ending;
    endReason_ = reason;
    invalidated_.store(true);
    out_.clear();
    outSent_ = 0;
  }

  Leftovers takeLeftovers() {
    std::lock_guard lock(mutex_);
    return {std::exchange(invalidationHandler_, nullptr), std::exchange(endedHook_, nullptr),
            std::exchange(exported_, nullptr)};
  }

  // The socket closes last, so the other side sees this end close only once
  // the handlers have done their part: whoever ends the other side's process
  // can wait for that.
  void finishEnding(Leftovers leftovers) {
    leftovers.invalidationHandler = nullptr;
    leftovers.exported.reset();  // may hold proxies of this connection
    if (socket_.valid()) ::shutdown(socket_.get(), SHUT_RDWR);
    socket_.reset();
    connectionTicket_.end();
    ended_.store(true);
    if (leftovers.endedHook) leftovers.endedHook();
  }

 public:
  // The process this end belongs to is gone (crashed or exited): the socket
  // closes as the system closes a dead process's sockets, without a
  // goodbye, and nothing of this side runs any more: no error handler,
  // reply block, invalidation handler or exported object. Returns once the
  // other side has closed its end too, or at `deadline`.
  void abandon(Clock::time_point deadline) {
    if (invalidatedOnQueue_) return;
    markInvalidated(Ending::local, "");
    Leftovers leftovers = takeLeftovers();
    pending_.clear();
    unanswered_.clear();
    if (socket_.valid()) {
      ::shutdown(socket_.get(), SHUT_WR);
      awaitPeerClosed(deadline);
    }
    finishEnding(std::move(leftovers));
  }

 public:
  std::weak_ptr<Core> self_;

 private:
  const std::string description_;
  const std::string serviceName_;
  SimXpcServiceLookup* const lookup_;
  SimXpcTraffic* const traffic_;
  WakePipe wake_;
  std::atomic<std::uint64_t> nextReplyId_{1};
  std::atomic<bool> invalidated_{false};
  std::atomic<bool> ended_{false};

  std::mutex mutex_;  // guards the members up to connectMutex_
  std::deque<std::function<void()>> tasks_;
  bool stop_ = false;
  bool resumed_ = false;
  bool anySent_ = false;
  std::optional<XpcInterface> exportedInterface_;
  std::optional<XpcInterface> remoteInterface_;
  std::shared_ptr<XpcExportedObject> exported_;
  std::function<void()> invalidationHandler_;
  std::function<void()> endedHook_;

  std::mutex connectMutex_;
  bool connectAttempted_ = false;

  // The queue's own state.
  OwnedFd socket_;
  wire::FrameReader reader_;
  Clock::time_point lastProgress_ = Clock::now();
  std::vector<std::uint8_t> out_;
  std::size_t outSent_ = 0;
  std::size_t callsAwaitingReplies_ = 0;  // received, their replies not queued yet
  std::map<std::uint64_t, Outgoing> pending_;
  std::vector<Outgoing> unanswered_;  // sent without a reply block, not yet written
  std::string peerGoodbye_;
  bool invalidatedOnQueue_ = false;
  Ending ending_ = Ending::local;
  std::string endReason_;
  SimXpcTraffic::Ticket connectionTicket_;
};

namespace {

class SimXpcRemoteProxy final : public XpcRemoteProxy {
 public:
  SimXpcRemoteProxy(std::shared_ptr<SimXpcConnection> connection, ErrorHandler errorHandler)
      : connection_(std::move(connection)), errorHandler_(std::move(errorHandler)) {}

  bool conformsToProtocol(const std::string& protocolName) const override;
  void send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    connection_->send(selector, std::move(arguments), std::move(reply), errorHandler_);
  }

 private:
  std::shared_ptr<SimXpcConnection> connection_;
  ErrorHandler errorHandler_;
};

}  // namespace

std::shared_ptr<SimXpcConnection> SimXpcConnection::toService(const std::string& serviceName,
                                                              SimXpcServiceLookup* lookup,
                                                              SimXpcTraffic* traffic) {
  auto core =
      std::make_shared<Core>("connection to service named " + serviceName, serviceName, lookup, traffic);
  core->self_ = core;
  return std::make_shared<SimXpcConnection>(Private{}, std::move(core));
}

std::shared_ptr<SimXpcConnection> SimXpcConnection::accepted(OwnedFd socket, const std::string& description) {
  auto core = std::make_shared<Core>(description, "", nullptr, nullptr);
  core->self_ = core;
  core->adoptAcceptedSocket(std::move(socket));
  return std::make_shared<SimXpcConnection>(Private{}, std::move(core));
}

SimXpcConnection::SimXpcConnection(Private, std::shared_ptr<Core> core) : core_(std::move(core)) {}

SimXpcConnection::~SimXpcConnection() {
  core_->invalidate();
  core_->requestStop();
  startQueue();
  // The last reference may go on the connection's own queue (a handler
  // that held it); the queue then finishes by itself.
  if (queue_.get_id() == std::this_thread::get_id()) {
    queue_.detach();
  } else {
    queue_.join();
  }
}

void SimXpcConnection::startQueue() {
  std::call_once(queueStarted_, [this] { queue_ = std::thread([core = core_] { core->run(); }); });
}

void SimXpcConnection::setExportedInterface(const XpcInterface& interface) {
  core_->setExportedInterface(interface);
}
void SimXpcConnection::setExportedObject(std::shared_ptr<XpcExportedObject> object) {
  core_->setExportedObject(std::move(object));
}
void SimXpcConnection::setRemoteObjectInterface(const XpcInterface& interface) {
  core_->setRemoteObjectInterface(interface);
}
void SimXpcConnection::setInvalidationHandler(std::function<void()> handler) {
  core_->setInvalidationHandler(std::move(handler));
}

void SimXpcConnection::resume() {
  const bool sentBefore = core_->markResumed();
  startQueue();
  if (sentBefore) core_->connectOnce();
}

void SimXpcConnection::invalidate() {
  // Queued first: a queue started here must not read from the socket.
  core_->invalidate();
  startQueue();
}

void SimXpcConnection::abandon(std::chrono::steady_clock::time_point deadline) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> abandoned = done->get_future();
  core_->post([core = core_.get(), deadline, done] {
    core->abandon(deadline);
    done->set_value();
  });
  startQueue();
  abandoned.wait();
}

std::shared_ptr<XpcRemoteProxy> SimXpcConnection::remoteObjectProxyWithErrorHandler(ErrorHandler handler) {
  if (proxiesWithheld_ && *proxiesWithheld_) return nullptr;
  return std::make_shared<SimXpcRemoteProxy>(shared_from_this(), std::move(handler));
}

bool SimXpcRemoteProxy::conformsToProtocol(const std::string& protocolName) const {
  return connection_->conformsToProtocol(protocolName);
}

bool SimXpcConnection::conformsToProtocol(const std::string& protocolName) const {
  return core_->conformsToProtocol(protocolName);
}

void SimXpcConnection::setEndedHook(std::function<void()> hook) { core_->setEndedHook(std::move(hook)); }

bool SimXpcConnection::isInvalidated() const { return core_->isInvalidated(); }
bool SimXpcConnection::hasEnded() const { return core_->hasEnded(); }
const std::string& SimXpcConnection::description() const { return core_->description(); }

void SimXpcConnection::send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply,
                            ErrorHandler errorHandler) {
  core_->send(selector, std::move(arguments), std::move(reply), std::move(errorHandler));
}

}  // namespace brannic::sim
