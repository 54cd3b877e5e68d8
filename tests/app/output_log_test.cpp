#include <string>
#include <thread>
#include <vector>

#include "app/output_log.h"
#include "tests/app/delegate_fixture.h"

namespace brannic::testing {
namespace {

class OutputLogTest : public DelegateTest {
 protected:
  void append(std::string message) {
    appendText(fake.runLoop, fake.appKit, &textViewOutput, std::move(message));
  }
};

TEST_F(OutputLogTest, EachMessageBecomesOneLineInTheSmallSystemFont) {
  append("Helper installed successfully.");
  append("");
  append("ends in a line feed\n");
  EXPECT_TRUE(textViewOutput.storage.entries.empty()) << "appending waits for the main queue";
  fake.runLoop.runUntilIdle();

  ASSERT_EQ(textViewOutput.storage.entries.size(), 3u);
  EXPECT_EQ(textViewOutput.storage.entries[0].text, "Helper installed successfully.\n");
  EXPECT_EQ(textViewOutput.storage.entries[1].text, "\n");
  EXPECT_EQ(textViewOutput.storage.entries[2].text, "ends in a line feed\n\n");
  for (const auto& entry : textViewOutput.storage.entries) EXPECT_EQ(entry.font, Font{11.0});
}

TEST_F(OutputLogTest, ScrollsToTheEndAfterEveryAppendEvenWithoutStorage) {
  append("abc");
  fake.runLoop.runUntilIdle();
  textViewOutput.hasStorage = false;
  append("dropped");
  fake.runLoop.runUntilIdle();
  ASSERT_EQ(textViewOutput.scrolls.size(), 2u);
  EXPECT_EQ(textViewOutput.scrolls[0].location, 4u);
  EXPECT_EQ(textViewOutput.scrolls[0].length, 0u);
  EXPECT_EQ(textViewOutput.scrolls[1].location, 4u);
  EXPECT_EQ(textViewOutput.messages(), std::vector<std::string>{"abc"});
}

// Text logged before the window's view is connected is lost, not kept for
// later, and the log works as usual once the view is there.
TEST_F(OutputLogTest, WithoutATextViewAMessageIsDroppedAndTheNextOneIsLoggedOnceAViewIsConnected) {
  AppDelegate& app = makeDelegate();
  app.textViewOutput = nullptr;
  app.logWithStdOut("from the helper, no window");
  append("to the view");
  appendText(fake.runLoop, fake.appKit, nullptr, "to no view");
  fake.runLoop.runUntilIdle();
  EXPECT_EQ(textViewOutput.messages(), std::vector<std::string>{"to the view"});

  app.textViewOutput = &textViewOutput;
  app.logWithStdOut("from the helper, window connected");
  fake.runLoop.runUntilIdle();
  EXPECT_EQ(textViewOutput.messages(),
            (std::vector<std::string>{"to the view", "from the helper, window connected"}));
  EXPECT_EQ(textViewOutput.scrolls.size(), 2u);
}

TEST_F(OutputLogTest, HelperTextTakesOneMoreHopAndEmptyTextIsDropped) {
  AppDelegate& app = makeDelegate();
  app.logWithStdOut("from the helper");
  app.logWithStdErr("");
  append("direct");
  fake.runLoop.runUntilIdle();
  // The direct append was queued on the main dispatch queue before the
  // helper's text left the main operation queue.
  EXPECT_EQ(textViewOutput.messages(), (std::vector<std::string>{"direct", "from the helper"}));
}

TEST_F(OutputLogTest, StandardOutputAndErrorLookTheSame) {
  AppDelegate& app = makeDelegate();
  app.logWithStdOut("same");
  app.logWithStdErr("same");
  fake.runLoop.runUntilIdle();
  ASSERT_EQ(textViewOutput.storage.entries.size(), 2u);
  EXPECT_EQ(textViewOutput.storage.entries[0].text, textViewOutput.storage.entries[1].text);
  EXPECT_EQ(textViewOutput.storage.entries[0].font, textViewOutput.storage.entries[1].font);
}

TEST_F(OutputLogTest, AppendsFromAnotherThreadAppearOnlyAfterTheMainQueueRuns) {
  std::thread background([this] {
    for (int i = 0; i < 3; ++i) append("line " + std::to_string(i));
  });
  background.join();
  EXPECT_TRUE(textViewOutput.storage.entries.empty());
  fake.runLoop.runUntilIdle();
  EXPECT_EQ(textViewOutput.messages(), (std::vector<std::string>{"line 0", "line 1", "line 2"}));
}

}  // namespace
}  // namespace brannic::testing
