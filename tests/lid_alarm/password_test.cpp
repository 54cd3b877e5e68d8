#include "lid_alarm/password.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brannic {
namespace {

TEST(PasswordTest, StartsEmptyOrWithTheGivenString) {
  EXPECT_EQ(Password().password(), "");
  EXPECT_EQ(Password("hunter2").password(), "hunter2");
}

TEST(PasswordTest, SubscribersHearOfEveryAssignmentBeforeItTakesEffect) {
  Password model;
  std::vector<std::string> seen;
  ChangePublisher& willChange = model.objectWillChange();
  Subscription first = willChange.subscribe([&] { seen.push_back("first " + model.password()); });
  Subscription second = willChange.subscribe([&] { seen.push_back("second " + model.password()); });

  model.setPassword("a");
  model.setPassword("a");  // an equal string is still an assignment
  EXPECT_EQ(model.password(), "a");
  EXPECT_EQ(seen, (std::vector<std::string>{"first ", "second ", "first a", "second a"}));
}

TEST(PasswordTest, EndedSubscriptionsHearNothing) {
  Password model;
  int destroyed = 0;
  int cancelled = 0;
  {
    Subscription scoped = model.objectWillChange().subscribe([&] { ++destroyed; });
  }
  Subscription subscription = model.objectWillChange().subscribe([&] { ++cancelled; });
  subscription.cancel();
  subscription.cancel();
  model.setPassword("x");
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(cancelled, 0);
}

TEST(PasswordTest, MovedSubscriptionStaysActiveOnce) {
  Password model;
  int calls = 0;
  Subscription moved;
  {
    Subscription original = model.objectWillChange().subscribe([&] { ++calls; });
    moved = std::move(original);
  }
  model.setPassword("x");
  EXPECT_EQ(calls, 1);
}

TEST(PasswordTest, HandlerMayCancelOthersAndSubscribeDuringASend) {
  Password model;
  std::vector<std::string> seen;
  Subscription later;
  std::optional<Subscription> added;
  Subscription canceller = model.objectWillChange().subscribe([&] {
    seen.push_back("canceller");
    later.cancel();
    if (!added) added = model.objectWillChange().subscribe([&] { seen.push_back("added"); });
  });
  later = model.objectWillChange().subscribe([&] { seen.push_back("later"); });

  model.setPassword("1");
  EXPECT_EQ(seen, std::vector<std::string>{"canceller"});
  model.setPassword("2");
  EXPECT_EQ(seen, (std::vector<std::string>{"canceller", "canceller", "added"}));
}

TEST(PasswordTest, SubscriptionMayOutliveTheModel) {
  auto model = std::make_unique<Password>();
  Subscription subscription = model->objectWillChange().subscribe([] {});
  model.reset();
  subscription.cancel();  // must not touch the freed model
}

}  // namespace
}  // namespace brannic
