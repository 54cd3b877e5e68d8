// The leases on "sleep disabled": several connections' tools share the
// helper's one SleepSetting, and the end of a connection that still holds
// sleep disabled enables it again. To the helper, an application that quits,
// crashes or is killed looks the same: its connection ends.
#include "helper_tool/sleep_setting.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "helper_tool/helper_exit_codes.h"
#include "helper_tool/helper_service.h"
#include "helper_tool/helper_tool.h"
#include "tests/fakes/fake_xpc.h"
#include "tests/fakes/recording_logs.h"
#include "tests/helper_tool/helper_tool_fakes.h"

namespace brannic {
namespace {

const std::string kRestored = kSleepRestoredLogLine;
const std::string kRestoreFailed = kSleepRestoreFailedLogPrefix;

// One step of a scenario: connection `connection` sends "1" or "0" (plain,
// or "1 refused" through an authorization the helper refuses), or ends
// ("end"); the power tool, if it runs, answers `tool`.
struct Step {
  int connection;
  std::string what;
  std::optional<ProcessResult> tool = ProcessResult{0, "", ""};
};

const std::optional<ProcessResult> kToolFails = ProcessResult{1, "", "pmset: failed\n"};
const std::optional<ProcessResult> kToolMissing = std::nullopt;

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::string> toolRuns;  // the argument of each try to run the power tool
  std::vector<std::string> logLines;
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class SleepLeaseTest : public ::testing::TestWithParam<Scenario> {
 protected:
  HelperTool& connection(int index) {
    while (tools_.size() <= static_cast<std::size_t>(index))
      tools_.push_back(std::make_unique<HelperTool>(app_, authorization_, sleep_, "1.0"));
    return *tools_[static_cast<std::size_t>(index)];
  }

  void run(const Step& step) {
    runner_.result = step.tool;
    HelperTool& tool = connection(step.connection);
    const auto ignoreReply = [](std::int64_t) {};
    if (step.what == "end") {
      tool.connectionEnded();
    } else if (step.what == "1 refused") {
      authorization_.copyStatus = errAuthorizationDenied;
      tool.runCommandLsWithPath("1", XpcData(32, 1), ignoreReply);
      authorization_.copyStatus = errAuthorizationSuccess;
    } else {
      tool.runCommandLsWithPath(step.what, ignoreReply);
    }
  }

  std::vector<std::string> toolRuns() const {
    std::vector<std::string> arguments;
    for (const auto& call : runner_.calls) arguments.push_back(call.substr(call.size() - 1));
    return arguments;
  }

  RecordingApp app_;
  ScriptedRunner runner_;
  ScriptedAuthorization authorization_;
  testing::RecordingSystemLog log_;
  SleepSetting sleep_{runner_, log_};
  std::deque<std::unique_ptr<HelperTool>> tools_;
};

TEST_P(SleepLeaseTest, EnablesSleepOnlyWhenTheLastHolderEnds) {
  for (const Step& step : GetParam().steps) run(step);
  EXPECT_EQ(toolRuns(), GetParam().toolRuns);
  EXPECT_EQ(log_.lines, GetParam().logLines);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, SleepLeaseTest,
    ::testing::Values(
        Scenario{"QuitOrCrashWhileArmed", {{0, "1"}, {0, "end"}}, {"1", "0"}, {kRestored}},
        Scenario{"EndedAfterDisarming", {{0, "1"}, {0, "0"}, {0, "end"}}, {"1", "0"}, {}},
        Scenario{"NeverDisabledSleep", {{0, "0"}, {0, "end"}, {1, "end"}}, {"0"}, {}},
        Scenario{"ZeroFromAnotherConnectionEndsTheLease", {{0, "1"}, {1, "0"}, {0, "end"}}, {"1", "0"}, {}},
        Scenario{"TwoHoldersTheFirstEnds",
                 {{0, "1"}, {1, "1"}, {0, "end"}},
                 {"1", "1"},
                 {}},
        Scenario{"TwoHoldersBothEnd",
                 {{0, "1"}, {1, "1"}, {0, "end"}, {1, "end"}},
                 {"1", "1", "0"},
                 {kRestored}},
        Scenario{"RearmedOnTheSameConnection",
                 {{0, "1"}, {0, "0"}, {0, "1"}, {0, "end"}},
                 {"1", "0", "1", "0"},
                 {kRestored}},
        Scenario{"RepeatedOnesAreOneLease",
                 {{0, "1"}, {0, "1"}, {0, "end"}, {0, "end"}},
                 {"1", "1", "0"},
                 {kRestored}},
        Scenario{"AFailedOneHoldsNothing", {{0, "1", kToolFails}, {0, "end"}}, {"1"}, {}},
        Scenario{"AOneThatCannotRunHoldsNothing", {{0, "1", kToolMissing}, {0, "end"}}, {"1"}, {}},
        Scenario{"AFailedOneKeepsAnEarlierLease",
                 {{0, "1"}, {0, "1", kToolFails}, {0, "end"}},
                 {"1", "1", "0"},
                 {kRestored}},
        Scenario{"AFailedZeroEndsNoLease",
                 {{0, "1"}, {1, "0", kToolFails}, {0, "end"}},
                 {"1", "0", "0"},
                 {kRestored}},
        Scenario{"TheRestoreFails",
                 {{0, "1"}, {0, "end", kToolFails}},
                 {"1", "0"},
                 {kRestoreFailed + "/usr/bin/pmset exited with 1."}},
        Scenario{"TheRestoreCannotRun",
                 {{0, "1"}, {0, "end", kToolMissing}},
                 {"1", "0"},
                 {kRestoreFailed + "/usr/bin/pmset could not be started."}},
        Scenario{"AnUnauthorizedOneHoldsNothing", {{0, "1 refused"}, {0, "end"}}, {}, {}},
        Scenario{"AnUnauthorizedOneKeepsAnotherConnectionsLease",
                 {{0, "1"}, {1, "1 refused"}, {0, "end"}},
                 {"1", "0"},
                 {kRestored}},
        Scenario{"ARefusedArgumentChangesNothing", {{0, "1"}, {0, "2"}, {0, "end"}}, {"1", "0"}, {kRestored}}),
    [](const ::testing::TestParamInfo<Scenario>& scenario) { return std::string(scenario.param.name); });

// A listener whose serving is the test: resume() runs `whileServing`, in
// which the test accepts connections and drives their queues by hand.
class ScriptedListener final : public XpcListener {
 public:
  void setShouldAcceptNewConnection(std::function<bool(std::shared_ptr<XpcConnection>)> decide) override {
    decide_ = std::move(decide);
  }
  void resume() override { whileServing(); }

  std::shared_ptr<testing::FakeXpcConnection> accept() {
    auto connection = std::make_shared<testing::FakeXpcConnection>("", 0, testing::FakeProxyKind::conforming);
    EXPECT_TRUE(decide_(connection));
    return connection;
  }

  std::function<void()> whileServing;

 private:
  std::function<bool(std::shared_ptr<XpcConnection>)> decide_;
};

// What the platform does once a connection is gone: it runs the
// invalidation handler, then lets go of the handler and the exported
// object, which hold the session and through it the connection.
void endConnection(testing::FakeXpcConnection& connection) {
  connection.runInvalidationHandler();
  connection.setInvalidationHandler({});
  connection.exportedObject.reset();
}

class HelperServiceTest : public ::testing::Test {
 protected:
  ScriptedListener listener;
  ScriptedAuthorization authorization;
  ScriptedRunner runner;
  testing::RecordingSystemLog log;
};

// The service wires each connection's end to its lease: the invalidation
// handler that the platform runs once the connection is gone.
TEST_F(HelperServiceTest, AConnectionsInvalidationEndsItsLease) {
  listener.whileServing = [&] {
    auto armed = listener.accept();
    auto other = listener.accept();
    ASSERT_TRUE(armed->hasInvalidationHandler());
    std::optional<XpcValue> reply;
    armed->exportedObject->invoke(selectors::runCommandLsWithPathCompletion, {std::string("1")},
                                  [&](XpcValue value) { reply = std::move(value); });
    EXPECT_EQ(reply, XpcValue(std::int64_t{0}));

    endConnection(*other);
    EXPECT_EQ(runner.calls.size(), 1u) << "a connection that never disabled sleep changes nothing";
    endConnection(*armed);
    EXPECT_EQ(runner.calls.back(), "/usr/bin/pmset -a disablesleep 0");
    EXPECT_EQ(log.lines, std::vector<std::string>{kRestored});
  };
  serveHelper(listener, authorization, runner, log, "1.0");
  EXPECT_EQ(runner.calls.size(), 2u);
}

// The helper never exits, so each ended connection must let go of its
// session even when the platform keeps the invalidated connection's exported
// object: the session's application proxy holds the connection.
TEST_F(HelperServiceTest, AnEndedConnectionLetsGoOfItsSessionWhateverThePlatformKeeps) {
  listener.whileServing = [&] {
    auto connection = listener.accept();
    std::weak_ptr<XpcExportedObject> session = connection->exportedObject;
    std::weak_ptr<testing::FakeXpcConnection> ended = connection;
    ASSERT_FALSE(session.expired());

    connection->runInvalidationHandler();  // and nothing else
    EXPECT_EQ(connection->exportedObject, nullptr);
    EXPECT_FALSE(connection->hasInvalidationHandler());
    connection.reset();
    EXPECT_TRUE(session.expired());
    EXPECT_TRUE(ended.expired());
  };
  serveHelper(listener, authorization, runner, log, "1.0");
}

}  // namespace
}  // namespace brannic
