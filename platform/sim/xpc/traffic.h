// What the simulator sees of the application's helper traffic: it prints
// `ipc: send <selector> <arguments>` for every message the application
// sends, keeps each message that awaits an answer registered as external
// work of the run loop (so `settle` waits for it), and lets the simulator
// wait, without running main-queue work, until messages are answered or
// connections to a service are gone.
//
// Arguments print as: text quoted, data as `auth#N` (N numbers distinct
// byte buffers in order of first use in this run), numbers in decimal, nil
// as `nil`.
//
// The simulator holds the application's outgoing messages (on either
// clock) and lets them go only while the main thread waits for them
// (settle, wait, and a post that first lets work on other threads finish):
// everything the helper does in answer happens then, so no line it causes
// falls at a moment that depends on thread timing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sim/run_loop/run_loop.h"
#include "platform/sim/base/transcript.h"
#include "platform/xpc.h"

namespace brannic::sim {

class SimXpcTraffic {
  struct Shared;

 public:
  // A message awaiting its answer, or an open connection: counted until the
  // ticket ends or is destroyed. Safe from any thread, even after the
  // traffic monitor is gone.
  class Ticket {
   public:
    Ticket() = default;
    Ticket(Ticket&& other) noexcept;
    Ticket& operator=(Ticket&& other) noexcept;
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;
    ~Ticket() { end(); }
    void end();

   private:
    friend class SimXpcTraffic;
    enum class Kind { message, connection };
    Ticket(std::shared_ptr<Shared> shared, Kind kind, std::string service, ExternalWork work,
           std::uint64_t id);
    std::shared_ptr<Shared> shared_;
    Kind kind_ = Kind::message;
    std::string service_;
    ExternalWork work_;
    std::uint64_t id_ = 0;  // a connection's entry among the flushers
  };

  // Both may be null (tests). REQUIRES: they outlive this.
  SimXpcTraffic(Transcript* transcript, SimRunLoop* runLoop);

  // A message leaves an application connection to `service`. The returned
  // ticket is held until the message's reply block or error handler has
  // returned; it is empty when the message awaits no answer.
  Ticket messageSent(const std::string& service, const std::string& selector,
                     const std::vector<XpcValue>& arguments, bool awaitsAnswer);
  // An application connection to `service` is open; the ticket is held
  // until the connection has been invalidated and its handler has run.
  // `flush` is called (from any thread) when held messages may go.
  Ticket connectionOpened(const std::string& service, std::function<void()> flush);

  // Holds outgoing messages, except while a window is open, or lets them
  // go (the default).
  void setHoldOutgoing(bool hold);
  // Whether messages are held now.
  bool holdsOutgoing() const;
  // Windows may overlap: messages go while any is open.
  void openWindow();
  void closeWindow();
  // Lets held messages go while it lives.
  class OutgoingWindow {
   public:
    explicit OutgoingWindow(SimXpcTraffic& traffic) : traffic_(traffic) { traffic_.openWindow(); }
    ~OutgoingWindow() { traffic_.closeWindow(); }
    OutgoingWindow(const OutgoingWindow&) = delete;
    OutgoingWindow& operator=(const OutgoingWindow&) = delete;

   private:
    SimXpcTraffic& traffic_;
  };

  // Runs `hook` on the connection's queue before each message from a
  // service is handled (the simulator looks at the machine there).
  void setIncomingHook(std::function<void()> hook);
  void noteIncoming();

  // Lets held messages go and waits, for at most `timeout` of real time,
  // until no message awaits its answer. Returns whether none does.
  bool awaitAnswers(std::chrono::milliseconds timeout);
  // Waits, for at most `timeout`, until no connection to `service` is open.
  bool awaitConnectionsClosed(const std::string& service, std::chrono::milliseconds timeout);

  std::size_t messagesInFlight() const;

 private:
  std::string describeArguments(const std::vector<XpcValue>& arguments);
  // Applies a change of the holding state; flushes when messages may go.
  void changeHolding(const std::function<void(Shared&)>& change);

  Transcript* transcript_;
  SimRunLoop* runLoop_;
  std::shared_ptr<Shared> shared_;
  std::mutex namesMutex_;
  std::vector<XpcData> dataSeen_;  // auth#N is the Nth distinct one
  std::function<void()> incomingHook_;  // guarded by namesMutex_
};

}  // namespace brannic::sim
