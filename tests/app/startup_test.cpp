#include <string>
#include <vector>

#include "tests/app/delegate_fixture.h"

namespace brannic::testing {
namespace {

using StartupTest = DelegateTest;

std::vector<std::string> menuTitles(const Menu& menu) {
  std::vector<std::string> titles;
  for (const auto& item : menu.items) {
    if (item.isSeparator) {
      titles.push_back("---");
    } else {
      titles.push_back(item.title + (item.action ? " -> " + *item.action : " (no action)"));
    }
  }
  return titles;
}

TEST_F(StartupTest, LaunchMakesAVariableItemWithTheIconAndTheMenuAndHides) {
  AppDelegate& app = makeDelegate();
  app.awakeFromNib();
  app.applicationDidFinishLaunching();

  EXPECT_EQ(fake.appKit.requestedLength, -1.0);
  EXPECT_EQ(fake.appKit.hides, 1);
  EXPECT_EQ(fake.appKit.statusItem->statusButton.images, std::vector<std::string>{"Icon"});
  ASSERT_TRUE(fake.appKit.statusItem->menu.has_value());
  EXPECT_EQ(menuTitles(*fake.appKit.statusItem->menu),
            (std::vector<std::string>{"Toggle Brannic -> didTapOne", "---",
                                      "Leave the lid open after toggle (no action)", "Quit -> terminate:"}));
  for (const auto& item : fake.appKit.statusItem->menu->items) EXPECT_EQ(item.keyEquivalent, "");
}

TEST_F(StartupTest, MissingIconClearsTheImage) {
  fake.appKit.hasIcon = false;
  makeDelegate().applicationDidFinishLaunching();
  EXPECT_EQ(fake.appKit.statusItem->statusButton.images, std::vector<std::string>{"none"});
}

TEST_F(StartupTest, StatusItemWithoutButtonIgnoresEveryImage) {
  fake.appKit.statusItem->hasButton = false;
  AppDelegate& app = makeDelegate();
  app.applicationDidFinishLaunching();
  app.didTapThree();
  EXPECT_TRUE(fake.appKit.statusItem->statusButton.images.empty());
  EXPECT_TRUE(fake.appKit.statusItem->menu.has_value());
}

TEST_F(StartupTest, StatusIconActionsShowNumberedSymbols) {
  AppDelegate& app = makeDelegate();
  app.applicationDidFinishLaunching();
  app.didTapThree();
  app.didTapSignout();
  app.didTapWarning();
  app.didTapTwo();  // no helper: the icon still changes first
  EXPECT_EQ(fake.appKit.statusItem->statusButton.images,
            (std::vector<std::string>{"Icon", "symbol 3.circle \"3\"", "symbol 2.circle \"2\""}));
}

TEST_F(StartupTest, BecomingActiveAlwaysHides) {
  AppDelegate& app = makeDelegate();
  app.applicationDidBecomeActive();
  app.applicationDidBecomeActive();
  EXPECT_EQ(fake.appKit.hides, 2);
}

TEST_F(StartupTest, RunCommandButtonFollowsEveryKeyValueWrite) {
  AppDelegate& app = makeDelegate();
  app.awakeFromNib();
  EXPECT_EQ(buttonRunCommand.boundKey, "helperIsInstalled");
  EXPECT_TRUE(buttonRunCommand.continuously);
  EXPECT_FALSE(buttonRunCommand.enabled);

  const int writesBefore = buttonRunCommand.enabledWrites;
  ASSERT_TRUE(app.setValueForKey(PropertyValue{true}, "helperIsInstalled"));
  EXPECT_TRUE(buttonRunCommand.enabled);
  ASSERT_TRUE(app.setValueForKey(PropertyValue{true}, "helperIsInstalled"));
  ASSERT_TRUE(app.setValueForKey(PropertyValue{false}, "helperIsInstalled"));
  EXPECT_FALSE(buttonRunCommand.enabled);
  EXPECT_EQ(buttonRunCommand.enabledWrites - writesBefore, 3);
  EXPECT_FALSE(app.helperIsInstalled());
}

TEST_F(StartupTest, KeyValueCodingRefusesUnknownKeysAndWrongKinds) {
  AppDelegate& app = makeDelegate();
  struct Case {
    const char* key;
    KeyValue value;
    bool accepted;
  };
  const Case cases[] = {
      {"helperIsInstalled", PropertyValue{true}, true},
      {"helperIsInstalled", PropertyValue{"yes"}, false},
      {"helperIsInstalled", std::nullopt, false},
      {"currentHelperAuthData", PropertyValue{PropertyData(32, 7)}, true},
      {"currentHelperAuthData", PropertyValue{std::int64_t{3}}, false},
      {"currentHelperAuthData", std::nullopt, true},
      {"isTimerRunning", PropertyValue{true}, false},
      {"timer2", PropertyValue{true}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(app.setValueForKey(c.value, c.key), c.accepted) << c.key;
  }
  EXPECT_TRUE(app.helperIsInstalled());
  EXPECT_FALSE(app.currentHelperAuthData().has_value());
  EXPECT_FALSE(app.hasKey("statusItem"));
}

TEST_F(StartupTest, ActionsAreSentBySelector) {
  AppDelegate& app = makeDelegate();
  EXPECT_TRUE(app.performAction("didTapThree"));
  EXPECT_TRUE(app.performAction("applicationDidBecomeActive:"));
  EXPECT_FALSE(app.performAction("armWatch"));
  EXPECT_FALSE(app.performAction("logWithStdOut:"));
  EXPECT_FALSE(AppDelegate::respondsToAction("setStatusIcon"));
  EXPECT_EQ(fake.appKit.hides, 1);
}

}  // namespace
}  // namespace brannic::testing
