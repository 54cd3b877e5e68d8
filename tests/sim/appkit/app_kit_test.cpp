// The simulated AppKit: what each change the application makes prints, the
// images that exist, the status menu's items, the enabled binding and the
// output log's text view.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/sim/appkit/app_kit.h"
#include "platform/sim/appkit/controls.h"
#include "platform/sim/appkit/images.h"
#include "platform/sim/appkit/text_view.h"
#include "tests/sim/recording_transcript.h"

namespace brannic::sim {
namespace {

using Lines = std::vector<std::string>;

// A bundle whose resources are a fixed set of file names.
class ListedBundle final : public Bundle {
 public:
  std::string bundleURL() override { return "/Applications/Brannic.app"; }
  std::optional<std::string> urlForResource(std::string_view name, std::string_view extension) override {
    const std::string file = std::string(name) + "." + std::string(extension);
    if (file != "Icon.png") return std::nullopt;
    return "/Applications/Brannic.app/Contents/Resources/" + file;
  }
  std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string&) override { return std::nullopt; }
};

class AppKitTest : public ::testing::Test {
 protected:
  testing::RecordingTranscript recording;
  ListedBundle bundle;
  SimAppKit appKit{recording.transcript(), bundle};
};

TEST_F(AppKitTest, NamedImagesAreTheBundlesResources) {
  EXPECT_EQ(describeImage(appKit.imageNamed("Icon")), "Icon");
  EXPECT_EQ(appKit.imageNamed("Final"), nullptr);
  EXPECT_EQ(appKit.imageNamed(""), nullptr);
}

struct SymbolCase {
  const char* name;
  bool exists;
};

class SystemSymbolTest : public AppKitTest, public ::testing::WithParamInterface<SymbolCase> {};

TEST_P(SystemSymbolTest, OnlyNumberedCirclesFromZeroToFiftyExist) {
  const ImageRef image = appKit.imageWithSystemSymbolName(GetParam().name, "d");
  EXPECT_EQ(image != nullptr, GetParam().exists);
  if (image) {
    EXPECT_EQ(describeImage(image), "symbol " + std::string(GetParam().name) + " \"d\"");
  }
}

INSTANTIATE_TEST_SUITE_P(Names, SystemSymbolTest,
                         ::testing::Values(SymbolCase{"0.circle", true}, SymbolCase{"2.circle", true},
                                           SymbolCase{"50.circle", true}, SymbolCase{"51.circle", false},
                                           SymbolCase{"-1.circle", false}, SymbolCase{"-0.circle", false},
                                           SymbolCase{"+2.circle", false}, SymbolCase{"02.circle", false},
                                           SymbolCase{".circle", false}, SymbolCase{"2.square", false},
                                           SymbolCase{"2.circle.fill", false},
                                           SymbolCase{"99999999999999999999.circle", false}));

TEST_F(AppKitTest, StatusItemPrintsEveryImageAndMenuItSets) {
  auto item = appKit.statusItemWithLength(NSVariableStatusItemLength);
  ASSERT_NE(item->button(), nullptr);
  item->button()->setImage(appKit.imageNamed("Icon"));
  item->button()->setImage(appKit.imageNamed("Icon"));
  item->button()->setImage(appKit.imageWithSystemSymbolName("2.circle", "2"));
  item->button()->setImage(nullptr);
  appKit.setResponderChain([](std::string_view selector) { return selector == "didTapOne"; },
                           [](const std::string&) {});
  Menu menu;
  menu.addItem(MenuItem{"Toggle Brannic", "didTapOne", ""});
  menu.addItem(MenuItem::separatorItem());
  menu.addItem(MenuItem{"Leave the lid open after toggle", std::nullopt, ""});
  menu.addItem(MenuItem{"Unhandled", "didTapNothing", "u"});
  menu.addItem(MenuItem{"Quit", "terminate:", ""});
  item->setMenu(menu);
  EXPECT_EQ(
      recording.take(),
      (Lines{"ui: status image Icon", "ui: status image Icon", "ui: status image symbol 2.circle \"2\"",
             "ui: status image none",
             "ui: menu Toggle Brannic | --- | Leave the lid open after toggle (disabled) | Unhandled [u] "
             "(disabled) | Quit"}));
}

TEST_F(AppKitTest, ChoosingMenuItemsGoesThroughTheResponderChain) {
  std::vector<std::string> sent;
  EXPECT_EQ(appKit.chooseStatusMenuItem("Quit"), SimAppKit::MenuChoice::noMenu);
  auto item = appKit.statusItemWithLength(NSVariableStatusItemLength);
  EXPECT_EQ(appKit.chooseStatusMenuItem("Quit"), SimAppKit::MenuChoice::noMenu);
  appKit.setResponderChain([](std::string_view selector) { return selector == "didTapOne"; },
                           [&sent](const std::string& selector) { sent.push_back(selector); });
  Menu menu;
  menu.addItem(MenuItem{"Toggle Brannic", "didTapOne", ""});
  menu.addItem(MenuItem::separatorItem());
  menu.addItem(MenuItem{"Hint", std::nullopt, ""});
  menu.addItem(MenuItem{"Quit", "terminate:", ""});
  item->setMenu(menu);
  EXPECT_EQ(appKit.chooseStatusMenuItem("Toggle Brannic"), SimAppKit::MenuChoice::performed);
  EXPECT_EQ(appKit.chooseStatusMenuItem("Hint"), SimAppKit::MenuChoice::disabled);
  EXPECT_EQ(appKit.chooseStatusMenuItem(""), SimAppKit::MenuChoice::noSuchItem) << "a separator has no title";
  EXPECT_EQ(appKit.chooseStatusMenuItem("toggle brannic"), SimAppKit::MenuChoice::noSuchItem);
  EXPECT_EQ(appKit.chooseStatusMenuItem("Quit"), SimAppKit::MenuChoice::terminate);
  EXPECT_EQ(sent, (std::vector<std::string>{"didTapOne"}));

  item.reset();
  EXPECT_EQ(appKit.chooseStatusMenuItem("Toggle Brannic"), SimAppKit::MenuChoice::noMenu)
      << "an item the application let go of is gone from the status bar";
}

TEST_F(AppKitTest, HidingPrintsEachTimeAndActivationShowsAgain) {
  appKit.hide();
  appKit.hide();
  EXPECT_TRUE(appKit.isHidden());
  appKit.activate();
  EXPECT_FALSE(appKit.isHidden());
  EXPECT_EQ(recording.take(), (Lines{"ui: application hidden", "ui: application hidden"}));
}

TEST_F(AppKitTest, ApplicationMainRunsTheLauncherAndReturns) {
  char name[] = "Brannic";
  char* arguments[] = {name, nullptr};
  EXPECT_EQ(appKit.applicationMain(1, arguments), 1) << "nothing to launch";
  int launches = 0;
  appKit.setLauncher([&launches] { ++launches; });
  EXPECT_EQ(appKit.applicationMain(1, arguments), 0);
  EXPECT_EQ(launches, 1);
  EXPECT_EQ(appKit.smallSystemFontSize(), SimAppKit::kSmallSystemFontSize);
  EXPECT_EQ(appKit.systemFontOfSize(11), Font{11});
}

// A delegate with one Boolean and one data property, as key-value coding
// sees them.
class TwoProperties final : public KeyValueCoding {
 public:
  KeyValue valueForKey(std::string_view key) const override {
    auto found = values_.find(std::string(key));
    return found == values_.end() ? std::nullopt : found->second;
  }
  bool setValueForKey(const KeyValue& value, std::string_view key) override {
    if (!hasKey(key)) return false;
    values_[std::string(key)] = value;
    for (auto& [observedKey, observer] : observers_) {
      if (observedKey == key) observer(value);
    }
    return true;
  }
  bool hasKey(std::string_view key) const override { return key == "helperIsInstalled" || key == "data"; }
  void addObserverForKey(std::string_view key, Observer observer) override {
    observers_.emplace_back(std::string(key), std::move(observer));
  }

 private:
  std::map<std::string, KeyValue> values_{{"helperIsInstalled", PropertyValue{false}}};
  std::vector<std::pair<std::string, Observer>> observers_;
};

TEST(ControlTest, EnabledBindingTakesTheValueAtOnceAndFollowsEveryWrite) {
  testing::RecordingTranscript recording;
  TwoProperties delegate;
  SimButton button(recording.transcript(), "buttonRunCommand", SimButton::Kind::pushButton);
  button.bind(NSEnabledBinding, delegate, "helperIsInstalled", BindingOptions{true});
  EXPECT_FALSE(button.isEnabled());
  delegate.setValueForKey(PropertyValue{true}, "helperIsInstalled");
  EXPECT_TRUE(button.isEnabled());
  delegate.setValueForKey(PropertyValue{true}, "helperIsInstalled");
  delegate.setValueForKey(std::nullopt, "helperIsInstalled");
  EXPECT_FALSE(button.isEnabled()) << "nil reads as false";
  delegate.setValueForKey(PropertyValue{std::int64_t{2}}, "helperIsInstalled");
  EXPECT_TRUE(button.isEnabled()) << "a non-zero number reads as true";
  EXPECT_EQ(recording.take(), (Lines{"ui: buttonRunCommand disabled", "ui: buttonRunCommand enabled",
                                     "ui: buttonRunCommand enabled", "ui: buttonRunCommand disabled",
                                     "ui: buttonRunCommand enabled"}));
}

TEST(ControlTest, BindingsThatCannotBeMadeAreReportedAndLeaveTheControlAlone) {
  testing::RecordingTranscript recording;
  TwoProperties delegate;
  SimTextField field(recording.transcript(), "textFieldInput", /*editable=*/true);
  field.bind("value", delegate, "helperIsInstalled", BindingOptions{});
  field.bind(NSEnabledBinding, delegate, "missing", BindingOptions{});
  delegate.setValueForKey(PropertyValue{false}, "helperIsInstalled");
  EXPECT_TRUE(field.isEnabled());
  EXPECT_EQ(recording.take(), (Lines{"sim: textFieldInput has no binding \"value\"",
                                     "sim: textFieldInput cannot bind to the missing key \"missing\""}));
}

TEST(ControlTest, TheApplicationsChangesPrintAndTheUsersDoNot) {
  testing::RecordingTranscript recording;
  SimTextField field(recording.transcript(), "textFieldHelperInstalled", /*editable=*/false);
  field.setStringValue("Yes");
  field.setStringValue("Yes");
  field.setStringValue("say \"hi\"\n");
  field.setStringByUser("typed");
  EXPECT_EQ(field.stringValue(), "typed");
  field.setEnabled(false);

  std::vector<std::string> actions;
  SimButton box(recording.transcript(), "checkboxCacheAuthentication", SimButton::Kind::checkBox);
  box.setAction("toggled:", [&actions](const std::string& selector) { actions.push_back(selector); });
  EXPECT_EQ(box.state(), NSControlStateValueOff);
  EXPECT_TRUE(box.click());
  EXPECT_EQ(box.state(), NSControlStateValueOn);
  box.setStateByUser(NSControlStateValueMixed);
  EXPECT_TRUE(box.click());
  EXPECT_EQ(box.state(), NSControlStateValueOn) << "a click on a mixed box turns it on";
  EXPECT_TRUE(box.click());
  EXPECT_EQ(box.state(), NSControlStateValueOff);
  box.setEnabled(false);
  EXPECT_FALSE(box.click());
  EXPECT_EQ(box.state(), NSControlStateValueOff);
  EXPECT_EQ(actions, (std::vector<std::string>{"toggled:", "toggled:", "toggled:"}));

  EXPECT_EQ(recording.take(),
            (Lines{"ui: textFieldHelperInstalled text \"Yes\"", "ui: textFieldHelperInstalled text \"Yes\"",
                   "ui: textFieldHelperInstalled text \"say \\\"hi\\\"\\n\"",
                   "ui: textFieldHelperInstalled disabled", "ui: checkboxCacheAuthentication disabled"}));
}

TEST(TextViewTest, EachEntryPrintsWithoutTheLineFeedTheLogAdds) {
  testing::RecordingTranscript recording;
  SimTextView view(recording.transcript(), "textViewOutput");
  TextStorage* storage = view.textStorage();
  ASSERT_NE(storage, nullptr);
  const Font small{SimAppKit::kSmallSystemFontSize};
  for (const char* entry :
       {"Command exit code: 0\n", "ends in a line feed\n\n", "\n", "no line feed", "a\tb\n"}) {
    storage->appendAttributedString(AttributedString{entry, small});
  }
  EXPECT_EQ(recording.take(), (Lines{"log: Command exit code: 0", "log: ends in a line feed\\n",
                                     "log: ", "log: no line feed", "log: a\\tb"}));
  EXPECT_EQ(view.storage().string(), "Command exit code: 0\nends in a line feed\n\n\nno line feeda\tb\n");
  ASSERT_EQ(view.storage().entries().size(), 5u);
  EXPECT_EQ(view.storage().entries()[0].font, small);
}

TEST(TextViewTest, LengthCountsUtf16UnitsAndScrollingIsRecorded) {
  testing::RecordingTranscript recording;
  SimTextView view(recording.transcript(), "textViewOutput");
  EXPECT_EQ(view.stringLength(), 0u);
  EXPECT_FALSE(view.lastScrolledRange());
  // a, é (2 bytes, 1 unit), € (3 bytes, 1 unit), 🔒 (4 bytes, 2 units), an
  // invalid byte (1 unit), line feed.
  view.textStorage()->appendAttributedString(
      AttributedString{"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x92\xFF\n", {}});
  EXPECT_EQ(view.stringLength(), 7u);
  view.scrollRangeToVisible(TextRange{view.stringLength(), 0});
  EXPECT_TRUE(view.endIsVisible());
  view.textStorage()->appendAttributedString(AttributedString{"more\n", {}});
  EXPECT_FALSE(view.endIsVisible());
  view.scrollRangeToVisible(TextRange{view.stringLength(), 0});
  EXPECT_TRUE(view.endIsVisible());
  EXPECT_EQ(view.scrollRequests(), 2u);
  EXPECT_EQ(recording.take(), (Lines{"log: a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x92\\xff", "log: more"}));
}

TEST(TextViewTest, Utf16LengthTable) {
  EXPECT_EQ(utf16Length(""), 0u);
  EXPECT_EQ(utf16Length("abc"), 3u);
  EXPECT_EQ(utf16Length("\xF0\x9F\x94\x92"), 2u);
  EXPECT_EQ(utf16Length("\xF0\x9F\x94"), 3u) << "a truncated sequence is three invalid bytes";
  EXPECT_EQ(utf16Length("\xE0\x80\x80"), 3u) << "an overlong form is three invalid bytes";
}

}  // namespace
}  // namespace brannic::sim
