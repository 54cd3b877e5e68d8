// The helper as a real process, started by the launchd stand-in on a
// throwaway machine, reached through the application's side of the
// transport, with the machine's authorization authority serving it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "helper_client/helper_label.h"
#include "helper_client/helper_protocol.h"
#include "helper_tool/helper_exit_codes.h"
#include "helper_tool/helper_tool.h"
#include "platform/sim/authorization/authority.h"
#include "platform/sim/authorization/database.h"
#include "platform/sim/authorization/server.h"
#include "platform/sim/base/property_list.h"
#include "platform/sim/base/shell_quoting.h"
#include "platform/sim/base/transcript.h"
#include "platform/sim/bundle/info_plist.h"
#include "platform/sim/devices/power.h"
#include "platform/sim/launchd/launchd.h"
#include "platform/sim/xpc/connection.h"
#include "platform/sim/xpc/connections.h"
#include "platform/sim/xpc/errors.h"
#include "platform/sim/xpc/wire.h"
#include "tests/helper_tool/helper_contract_cases.h"
#include "tests/sim/ipc_test_support.h"
#include "tests/support/case_name.h"
#include "tests/support/event_timeout.h"

namespace brannic::sim {
namespace {

using testing::Deliveries;
using Bytes = std::vector<std::uint8_t>;
const std::string kLabel(HelperLabel);

// What the application side receives through AppProtocol.
class RecordingApp final : public AppProtocol {
 public:
  explicit RecordingApp(Deliveries& events) : events_(events) {}
  void logWithStdOut(std::string text) override { events_.add("stdout " + text); }
  void logWithStdErr(std::string text) override { events_.add("stderr " + text); }

 private:
  Deliveries& events_;
};

class HelperProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder.path().string().empty());
    installPowerTool("");
    std::string error;
    ASSERT_TRUE(launchd->install(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, std::nullopt, &error)) << error;
  }

  // A power tool that notes its arguments, waits as long as pmset.delay
  // says, and writes a line on each stream.
  void installPowerTool(const std::string& delaySeconds) {
    std::filesystem::create_directories(root + "/usr/bin");
    const std::string tool = root + "/usr/bin/pmset";
    std::ofstream(tool) << "#!/bin/sh\n"
                        << "echo \"$@\" >> " << root << "/pmset.calls\n"
                        << (delaySeconds.empty() ? "" : "sleep " + delaySeconds + "\n")
                        << "echo \"sleep setting $3\"\necho 'note' >&2\n";
    ::chmod(tool.c_str(), 0755);
  }
  std::string powerToolCalls() {
    std::ifstream file(root + "/pmset.calls");
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  }

  // A connection configured as the application configures its own.
  std::shared_ptr<XpcConnection> connect(Deliveries& to) {
    auto connection = connections.connectionWithMachServiceName(kLabel, NSXPCConnectionPrivileged);
    connection->setExportedInterface(appProtocolInterface());
    connection->setExportedObject(
        exportAppProtocol(apps.emplace_back(std::make_unique<RecordingApp>(to)).operator*()));
    connection->setRemoteObjectInterface(helperProtocolInterface());
    connection->setInvalidationHandler(to.invalidationRecorder());
    connection->resume();
    return connection;
  }
  std::shared_ptr<XpcRemoteProxy> proxy(const std::shared_ptr<XpcConnection>& connection,
                                        Deliveries& to) {
    return connection->remoteObjectProxyWithErrorHandler(to.errorRecorder());
  }
  // A fresh authorization of the machine, as 32 bytes of external form.
  XpcData externalForm() {
    AuthorizationExternalForm form{};
    EXPECT_EQ(authority.createSession({}, kAuthorizationFlagDefaults, &form), errAuthorizationSuccess);
    return XpcData(form.begin(), form.end());
  }

  testing::TempDir folder;
  const std::string root = folder.path().string();
  testing::RecordingTranscript recording;
  SimXpcTraffic traffic{&recording.transcript(), nullptr};
  SimAuthorizationDatabase database{authorizationDatabasePath(root)};
  SimAuthorizationAuthority authority{database, &recording.transcript()};
  SimAuthServer authServer{authority, authorizationSocketPath(root)};
  std::unique_ptr<SimLaunchd> launchd = std::make_unique<SimLaunchd>(root, &recording.transcript(), &traffic);
  SimXpcConnections connections{*launchd, &traffic};
  std::vector<std::unique_ptr<RecordingApp>> apps;
  Deliveries events;
};

// The built helper answers with the short version in the information
// dictionary it was built with, which is what the application compares with
// its bundle copy's; a helper installed as another version answers that one.
TEST_F(HelperProcessTest, ReportsTheVersionItWasBuiltWithOrTheOneItWasInstalledWith) {
  const auto embedded = readEmbeddedInfoPlist(BRANNIC_TEST_HELPER_EXECUTABLE);
  ASSERT_TRUE(embedded);
  const auto dictionary = parseXmlPropertyList(*embedded);
  ASSERT_TRUE(dictionary && dictionary->get<PropertyDictionary>());
  const auto found = dictionary->get<PropertyDictionary>()->find("CFBundleShortVersionString");
  ASSERT_NE(found, dictionary->get<PropertyDictionary>()->end());
  const std::string* builtVersion = found->second.get<std::string>();
  ASSERT_NE(builtVersion, nullptr);

  auto connection = connect(events);
  proxy(connection, events)->send(selectors::getVersionWithCompletion, {}, events.replyRecorder());
  EXPECT_EQ(events.texts(1), std::vector<std::string>{"reply " + sim::quoted(*builtVersion)});

  std::string error;
  ASSERT_TRUE(launchd->install(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, "0.9", &error)) << error;
  Deliveries later;
  auto again = connect(later);
  proxy(again, later)->send(selectors::getVersionWithCompletion, {}, later.replyRecorder());
  EXPECT_EQ(later.texts(1), std::vector<std::string>{"reply \"0.9\""});
  EXPECT_EQ(recording.channel("launchd"),
            (std::vector<std::string>{"started " + kLabel, "exited " + kLabel, "started " + kLabel}));
  // The replaced helper's connection noticed before install returned.
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events.texts(2)[1], "invalidated");
}

TEST_F(HelperProcessTest, TheMachinesOwnPowerToolChangesItsSleepSetting) {
  SimPower power(root, &recording.transcript());
  auto connection = connect(events);
  proxy(connection, events)
      ->send(selectors::runCommandLsWithPathCompletion, {std::string("1")}, events.replyRecorder());
  EXPECT_EQ(events.texts(1), std::vector<std::string>{"reply 0"});
  power.poll();
  EXPECT_TRUE(power.sleepDisabled());
}

// The same answers from the built helper: the machine's power tool is a
// script that does what the case says, the right's stored rule asks the
// owner, whose answer the case gives, and the data is a fresh authorization
// of the machine or bytes that name none.
class HelperProcessContract : public HelperProcessTest,
                              public ::testing::WithParamInterface<testing::HelperContractCase> {
 protected:
  testing::HelperAnswer ask(const testing::HelperContractCase& c) {
    const std::string tool = root + "/usr/bin/pmset";
    if (c.powerTool) {
      std::ofstream(tool) << "#!/bin/sh\necho \"$@\" >> " << root << "/pmset.calls\n"
                          << "printf '%s' " << shellQuoted(c.powerTool->standardOutput) << "\n"
                          << "printf '%s' " << shellQuoted(c.powerTool->standardError) << " >&2\n"
                          << (c.powerTool->exitCode > 128
                                  ? "kill -" + std::to_string(c.powerTool->exitCode - 128) + " $$\n"
                                  : "exit " + std::to_string(c.powerTool->exitCode) + "\n");
    } else {
      std::filesystem::remove(tool);
    }
    EXPECT_TRUE(database.store(authorizedRequestRightName(),
                               PropertyDictionary{{"class", "user"}, {"group", "admin"}}));
    authority.setAdminAnswer(c.owner == testing::OwnerAnswer::allow  ? AdminAnswer::allow
                             : c.owner == testing::OwnerAnswer::deny ? AdminAnswer::deny
                                                                     : AdminAnswer::cancel);

    auto connection = connect(events);
    auto helper = proxy(connection, events);
    std::string sent = sim::quoted(c.argument);
    if (c.data == testing::RequestData::none) {
      helper->send(selectors::runCommandLsWithPathCompletion, {c.argument}, events.replyRecorder());
      sent = "send runCommandLsWithPath:completion: " + sent;
    } else {
      const XpcData data = c.data == testing::RequestData::authorization
                               ? externalForm()
                               : XpcData(testing::requestDataSize(c.data), 7);
      helper->send(selectors::runCommandLsWithPathAuthDataCompletion, {c.argument, data},
                   events.replyRecorder());
      sent = "send runCommandLsWithPath:authData:completion: " + sent + " auth#1";
    }
    // Anything the helper sent back after its reply would still come before
    // the answer to a later request on the same connection: all of it is in
    // once that answer (the only text reply) is.
    helper->send(selectors::getVersionWithCompletion, {}, events.replyRecorder());
    std::vector<std::string> texts;
    for (std::size_t count = 1; texts.empty() || texts.back().rfind("reply \"", 0) != 0; ++count) {
      texts = events.texts(count);
      if (texts.size() < count) {
        ADD_FAILURE() << "the version request after the case's request was not answered";
        break;
      }
    }
    if (!texts.empty()) texts.pop_back();
    EXPECT_EQ(recording.channel("ipc"), (std::vector<std::string>{sent, "send getVersionWithCompletion:"}));

    testing::HelperAnswer answer;
    for (const auto& text : texts) {
      if (text.rfind("stdout ", 0) == 0) {
        answer.sentBack.push_back("out: " + text.substr(7));
      } else if (text.rfind("stderr ", 0) == 0) {
        answer.sentBack.push_back("err: " + text.substr(7));
      } else {
        answer.sentBack.push_back(text);
      }
    }
    std::istringstream runs(powerToolCalls());
    for (std::string run; std::getline(runs, run);) answer.powerToolRuns.push_back("/usr/bin/pmset " + run);
    const std::string prompt = "prompt ";
    for (const auto& line : recording.channel("auth")) {
      if (line.rfind(prompt, 0) == 0)
        answer.rightsAsked.push_back(line.substr(prompt.size(), line.rfind(" -> ") - prompt.size()));
    }
    return answer;
  }
};

TEST_P(HelperProcessContract, AnswersAsTheApplicationExpects) {
  testing::expectHelperAnswer(GetParam(), ask(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(SpawnedHelper, HelperProcessContract,
                         ::testing::ValuesIn(testing::helperContractCases()), testing::CaseWhat());

// Once the owner has allowed a request, the helper leaves that grant with the
// application's authorization: the same data sent again is not asked about
// again, while a fresh authorization is.
TEST_F(HelperProcessTest, AnAuthorizationOnceGrantedIsNotAskedAboutAgain) {
  ASSERT_TRUE(database.store(authorizedRequestRightName(),
                             PropertyDictionary{{"class", "user"}, {"group", "admin"}}));
  auto connection = connect(events);
  auto helper = proxy(connection, events);
  const XpcData allowed = externalForm();
  helper->send(selectors::runCommandLsWithPathAuthDataCompletion, {std::string("1"), allowed},
               events.replyRecorder());
  EXPECT_EQ(events.texts(3).back(), "reply 0");
  helper->send(selectors::runCommandLsWithPathAuthDataCompletion, {std::string("0"), allowed},
               events.replyRecorder());
  EXPECT_EQ(events.texts(6).back(), "reply 0");

  authority.setAdminAnswer(AdminAnswer::deny);
  helper->send(selectors::runCommandLsWithPathAuthDataCompletion, {std::string("1"), externalForm()},
               events.replyRecorder());
  EXPECT_EQ(events.texts(7).back(), "reply " + std::to_string(kAuthenticationFailedExitCode));
  EXPECT_EQ(powerToolCalls(), "-a disablesleep 1\n-a disablesleep 0\n");
  const std::string prompt = "prompt " + authorizedRequestRightName() + " -> ";
  EXPECT_EQ(recording.channel("auth"), (std::vector<std::string>{prompt + "allow", prompt + "deny"}));
  EXPECT_EQ(recording.channel("ipc"),
            (std::vector<std::string>{"send runCommandLsWithPath:authData:completion: \"1\" auth#1",
                                      "send runCommandLsWithPath:authData:completion: \"0\" auth#1",
                                      "send runCommandLsWithPath:authData:completion: \"1\" auth#2"}));
}

// Reads what the helper says on a raw client socket: the goodbye's reason,
// or "" when it just closed. Waits at most 5 s for each read.
std::optional<std::string> goodbyeOn(int client) {
  wire::FrameReader reader;
  for (;;) {
    if (auto payload = reader.next()) {
      auto message = wire::decodePayload(payload->data(), payload->size(), nullptr);
      if (message && std::holds_alternative<wire::Goodbye>(*message))
        return std::get<wire::Goodbye>(*message).reason;
      continue;
    }
    pollfd polled{client, POLLIN, 0};
    if (::poll(&polled, 1, 5000) != 1) return std::nullopt;
    std::uint8_t buffer[4096];
    const ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
    if (count <= 0) return std::string();
    reader.append(buffer, static_cast<std::size_t>(count));
  }
}

// The helper's answer to raw bytes sent on a new connection.
std::optional<std::string> answerTo(const std::string& socketPath, const Bytes& bytes, bool closeAfter) {
  std::string error;
  OwnedFd client = connectToPath(socketPath, &error);
  if (!client.valid()) return std::nullopt;
  if (::send(client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
    return std::nullopt;
  if (closeAfter) ::shutdown(client.get(), SHUT_WR);
  return goodbyeOn(client.get());
}

TEST_F(HelperProcessTest, MalformedFramesDropOnlyTheirConnection) {
  const std::string socketPath = *launchd->lookUpService(kLabel);
  const auto call = [](std::uint64_t id, std::string selector, std::vector<XpcValue> arguments) {
    return wire::encode(wire::Call{id, std::move(selector), std::move(arguments)});
  };
  const Bytes bigHeader{0x7F, 0xFF, 0xFF, 0xFF};
  Bytes trailing = call(1, selectors::getVersionWithCompletion, {});
  trailing.push_back(0);
  trailing[3] += 1;
  Bytes cut = call(1, selectors::runCommandLsWithPathCompletion, {std::string("1")});
  cut.resize(cut.size() - 3);
  const struct {
    const char* name;
    Bytes bytes;
    bool closeAfter;
    std::string answer;  // the goodbye's reason; empty: the helper just closed
  } cases[] = {
      {"unknown selector", call(1, "reboot:", {}), false,
       "a message HelperProtocol does not allow: unknown selector \"reboot:\" for HelperProtocol"},
      {"wrong class", call(1, selectors::runCommandLsWithPathCompletion, {std::int64_t{1}}), false,
       "a message HelperProtocol does not allow: runCommandLsWithPath:completion: argument 1 is NSNumber, "
       "not "
       "NSString"},
      {"wrong count", call(1, selectors::runCommandLsWithPathAuthDataCompletion, {std::string("1")}), false,
       "a message HelperProtocol does not allow: runCommandLsWithPath:authData:completion: takes 2 "
       "arguments, not 1"},
      {"no reply block", call(0, selectors::getVersionWithCompletion, {}), false,
       "a message HelperProtocol does not allow: getVersionWithCompletion: needs a reply block"},
      {"reply to nothing", wire::encode(wire::Reply{5, std::int64_t{0}}), false,
       "a reply to unknown message 5"},
      {"garbled", {0, 0, 0, 1, 42}, false, "a garbled frame (unknown message kind 42)"},
      {"trailing bytes", trailing, false, "a garbled frame (1 bytes after the end of the message)"},
      {"oversized", bigHeader, false, "an oversized frame (2147483647 bytes; the limit is 1048576)"},
      {"truncated", cut, true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(answerTo(socketPath, c.bytes, c.closeAfter), c.answer) << c.name;
  }
  // The helper lived through all of it and still serves.
  auto connection = connect(events);
  proxy(connection, events)->send(selectors::getVersionWithCompletion, {}, events.replyRecorder());
  EXPECT_EQ(events.texts(1), std::vector<std::string>{"reply \"" + std::string(HelperVersion) + "\""});
  EXPECT_EQ(recording.channel("launchd"), std::vector<std::string>{"started " + kLabel});
}

TEST_F(HelperProcessTest, AClientIsRejectedWhenTheSocketIsOpenToOthers) {
  const std::string socketPath = SimLaunchd::serviceSocketPath(root, kLabel);
  ASSERT_EQ(::chmod(socketPath.c_str(), 0666), 0);
  auto connection = connect(events);
  proxy(connection, events)->send(selectors::getVersionWithCompletion, {}, events.replyRecorder());
  const auto texts = events.texts(2);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0],
            "error 4097 " + interruptedError("connection to service named " + kLabel,
                                             "the other side refused the connection (the service's socket "
                                             "has mode 0666, not 0600)")
                                .description);
  EXPECT_EQ(texts[1], "invalidated");

  ASSERT_EQ(::chmod(socketPath.c_str(), 0600), 0);
  Deliveries later;
  auto again = connect(later);
  proxy(again, later)->send(selectors::getVersionWithCompletion, {}, later.replyRecorder());
  EXPECT_EQ(later.texts(1).size(), 1u);
  EXPECT_EQ(later.texts(1)[0].rfind("reply ", 0), 0u);
}

TEST_F(HelperProcessTest, AHelperKilledInTheMiddleOfARequestFailsItAndStartsAgain) {
  installPowerTool("5");
  auto connection = connect(events);
  proxy(connection, events)
      ->send(selectors::runCommandLsWithPathCompletion, {std::string("1")}, events.replyRecorder());
  ASSERT_TRUE(testing::eventually([&] { return !powerToolCalls().empty(); }));
  EXPECT_EQ(traffic.messagesInFlight(), 1u);
  ASSERT_TRUE(launchd->kill(kLabel));
  // kill returns once the application's side has noticed.
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(events.texts(2), (std::vector<std::string>{
                                 "error 4097 " + interruptedError("connection to service named " + kLabel,
                                                                  "the other side closed the connection")
                                                     .description,
                                 "invalidated"}));
  EXPECT_EQ(traffic.messagesInFlight(), 0u);

  installPowerTool("");
  Deliveries later;
  auto again = connect(later);
  proxy(again, later)
      ->send(selectors::runCommandLsWithPathCompletion, {std::string("0")}, later.replyRecorder());
  EXPECT_EQ(later.texts(3).back(), "reply 0");
  EXPECT_EQ(recording.channel("launchd"),
            (std::vector<std::string>{"started " + kLabel, "exited " + kLabel, "started " + kLabel}));
}

// Whether process `pid` still runs (a zombie has ended).
bool processRuns(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto end = line.rfind(')');
  return end != std::string::npos && end + 2 < line.size() && line[end + 2] != 'Z';
}

int readPid(const std::string& path) {
  std::ifstream file(path);
  int pid = 0;
  file >> pid;
  return pid;
}

TEST_F(HelperProcessTest, APowerToolStillRunningDiesWithTheHelper) {
  // The tool notes its pid, waits on a child for 30 s, then makes its change.
  const std::string tool = root + "/usr/bin/pmset";
  std::ofstream(tool) << "#!/bin/sh\necho $$ > " << root << "/tool.pid\nsleep 30 &\necho $! > " << root
                      << "/sleep.pid\nwait\necho \"$@\" >> " << root << "/pmset.calls\n";
  auto connection = connect(events);
  proxy(connection, events)
      ->send(selectors::runCommandLsWithPathCompletion, {std::string("1")}, events.replyRecorder());
  ASSERT_TRUE(testing::eventually([&] { return readPid(root + "/sleep.pid") > 0; }));
  const int toolPid = readPid(root + "/tool.pid");
  ASSERT_GT(toolPid, 0);
  ASSERT_TRUE(launchd->kill(kLabel));
  EXPECT_TRUE(testing::eventually([&] { return !processRuns(toolPid); }));
  EXPECT_EQ(events.texts(2)[0].rfind("error 4097 ", 0), 0u);
  EXPECT_EQ(powerToolCalls(), "");
  ::kill(readPid(root + "/sleep.pid"), SIGKILL);
}

// The whole simulator dies (SIGKILL) while the helper runs a tool for it:
// the helper goes with the simulator, and the tool with the helper.
TEST(HelperProcessChain, APowerToolStillRunningDiesWithAKilledSimulator) {
  testing::TempDir folder;
  const std::string root = folder.path().string();
  std::filesystem::create_directories(root + "/usr/bin");
  std::ofstream(root + "/usr/bin/pmset") << "#!/bin/sh\necho $$ > " << root << "/tool.pid\nsleep 30 &\n"
                                         << "echo $! > " << root << "/sleep.pid\nwait\n";
  ::chmod((root + "/usr/bin/pmset").c_str(), 0755);
  // The stand-in for the simulator: a process of its own, started before
  // this test starts any thread.
  const pid_t simulator = ::fork();
  ASSERT_GE(simulator, 0);
  if (simulator == 0) {
    SimLaunchd launchd(root, nullptr, nullptr);
    std::string error;
    if (!launchd.install(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, std::nullopt, &error)) ::_exit(1);
    SimXpcConnections connections(launchd, nullptr);
    auto connection = connections.connectionWithMachServiceName(kLabel, NSXPCConnectionPrivileged);
    connection->setRemoteObjectInterface(helperProtocolInterface());
    connection->resume();
    connection->remoteObjectProxyWithErrorHandler([](const PlatformError&) {})
        ->send(selectors::runCommandLsWithPathCompletion, {std::string("1")}, [](XpcValue) {});
    for (;;) ::pause();
  }
  const bool toolStarted = testing::eventually([&] { return readPid(root + "/sleep.pid") > 0; });
  ::kill(simulator, SIGKILL);
  ::waitpid(simulator, nullptr, 0);
  ASSERT_TRUE(toolStarted);
  const int toolPid = readPid(root + "/tool.pid");
  EXPECT_TRUE(testing::eventually([&] { return !processRuns(toolPid); }));
  ::kill(readPid(root + "/sleep.pid"), SIGKILL);
}

TEST_F(HelperProcessTest, AHelperOutOfDescriptorsTurnsClientsAwayWithoutSpinningAndRecovers) {
#ifdef BRANNIC_TEST_UNDER_UBSAN
  GTEST_SKIP() << "UBSan reports wrong types in a helper out of descriptors (its probe needs a pipe)";
#endif
  std::string socketPath;
  {
    testing::DescriptorLimit limit(40);  // the helper started now inherits it
    ASSERT_TRUE(limit.lowered());
    socketPath = *launchd->lookUpService(kLabel);
  }
  const int pid = launchd->helperPid(kLabel);
  ASSERT_GT(pid, 0);

  // Far more clients than the helper has descriptors for, all staying.
  std::vector<OwnedFd> clients;
  for (int i = 0; i < 40; ++i) clients.push_back(connectToPath(socketPath, nullptr));
  const std::string goodbye = "the connection (out of file descriptors: " + systemErrorText(EMFILE) + ")";
  // A client the helper serves hears nothing: the helper waits for its
  // requests. The others are told why they are turned away.
  std::size_t turnedAway = 0;
  std::vector<pollfd> waiting;
  for (const auto& client : clients) {
    ASSERT_TRUE(client.valid());
    waiting.push_back({client.get(), POLLIN, 0});
  }
  // The first goodbye may be long in coming on a stalled machine; the rest
  // follow it closely.
  const auto firstWait = std::chrono::duration_cast<std::chrono::milliseconds>(testing::kEventTimeout);
  while (::poll(waiting.data(), waiting.size(), turnedAway == 0 ? static_cast<int>(firstWait.count()) : 300) >
         0) {
    for (auto& polled : waiting) {
      if (polled.revents == 0) continue;
      EXPECT_EQ(goodbyeOn(polled.fd), goodbye);
      ++turnedAway;
      polled.fd = -1;
    }
  }
  EXPECT_GT(turnedAway, 0u);
  EXPECT_LT(turnedAway, clients.size());

  // Nothing to do while the clients stay: the helper must not busy-wait.
  const testing::ProcessorShare helperShare(pid);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_LT(helperShare.sinceStart(), testing::ProcessorShare::kIdle) << "the helper spins";

  clients.clear();
  auto connection = connect(events);
  proxy(connection, events)->send(selectors::getVersionWithCompletion, {}, events.replyRecorder());
  EXPECT_EQ(events.texts(1), std::vector<std::string>{"reply \"" + std::string(HelperVersion) + "\""});

  // And it still ends when told to.
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_TRUE(testing::eventually([&] { return launchd->jobState(kLabel) == HelperJobState::stopped; }));
}

TEST_F(HelperProcessTest, RequestsInFlightOnTwoConnectionsAreAllAnswered) {
  installPowerTool("0.3");
  Deliveries second;
  auto first = connect(events);
  auto other = connect(second);
  for (const char* argument : {"1", "0"}) {
    proxy(first, events)
        ->send(selectors::runCommandLsWithPathCompletion, {std::string(argument)}, events.replyRecorder());
    proxy(other, second)
        ->send(selectors::runCommandLsWithPathCompletion, {std::string(argument)}, second.replyRecorder());
  }
  EXPECT_TRUE(traffic.awaitAnswers(std::chrono::seconds(10)));
  for (Deliveries* delivered : {&events, &second}) {
    EXPECT_EQ(delivered->texts(6),
              (std::vector<std::string>{"stdout sleep setting 1\n", "stderr note\n", "reply 0",
                                        "stdout sleep setting 0\n", "stderr note\n", "reply 0"}));
  }
}

}  // namespace
}  // namespace brannic::sim
