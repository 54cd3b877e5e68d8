#include "platform/macos/notification_center_mac.h"

#import <Foundation/Foundation.h>

#include <map>

#include "platform/macos/foundation_bridge_mac.h"

// One registration: the centre calls it for each posting of its name, and it
// hands the name on to the main operation queue.
@interface BRNotificationObserver : NSObject
- (instancetype)initWithBlock:(brannic::DistributedNotificationCenter::Block)block NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
- (void)notificationPosted:(NSNotification*)notification;
@end

@implementation BRNotificationObserver {
  brannic::DistributedNotificationCenter::Block _block;
}

- (instancetype)initWithBlock:(brannic::DistributedNotificationCenter::Block)block {
  if ((self = [super init])) _block = std::move(block);
  return self;
}

- (void)notificationPosted:(NSNotification*)notification {
  const brannic::DistributedNotificationCenter::Block block = _block;
  NSString* name = notification.name;
  [[NSOperationQueue mainQueue] addOperationWithBlock:^{
    block(brannic::mac::toStdString(name));
  }];
}

@end

namespace brannic::mac {

// The observers registered with the centre, by the handles given out for
// them. The centre does not retain its observers; this does.
struct MacDistributedNotificationCenter::Observers {
  std::map<ObserverHandle, BRNotificationObserver*> tokens;
  ObserverHandle nextHandle = 1;
};

MacDistributedNotificationCenter::MacDistributedNotificationCenter()
    : observers_(std::make_unique<Observers>()) {}

MacDistributedNotificationCenter::~MacDistributedNotificationCenter() {
  NSDistributedNotificationCenter* center = [NSDistributedNotificationCenter defaultCenter];
  for (const auto& [handle, token] : observers_->tokens) [center removeObserver:token];
}

DistributedNotificationCenter::ObserverHandle MacDistributedNotificationCenter::addObserverForName(
    const std::string& name, Block block) {
  BRNotificationObserver* token = [[BRNotificationObserver alloc] initWithBlock:std::move(block)];
  // The application is hardly ever active (it has no Dock icon and hides
  // itself), and the centre holds back postings to an inactive application
  // by default: the screen's unlock, which disarms the guard, would wait for
  // the next activation. So postings are delivered at once, whatever the
  // application's state.
  NSDistributedNotificationCenter* center = [NSDistributedNotificationCenter defaultCenter];
  [center addObserver:token
                selector:@selector(notificationPosted:)
                    name:toNSString(name)
                  object:nil
      suspensionBehavior:NSNotificationSuspensionBehaviorDeliverImmediately];
  const ObserverHandle handle = observers_->nextHandle++;
  observers_->tokens.emplace(handle, token);
  return handle;
}

void MacDistributedNotificationCenter::removeObserver(ObserverHandle observer) {
  const auto found = observers_->tokens.find(observer);
  if (found == observers_->tokens.end()) return;
  [[NSDistributedNotificationCenter defaultCenter] removeObserver:found->second];
  observers_->tokens.erase(found);
}

void MacDistributedNotificationCenter::postNotificationName(const std::string& name) {
  [[NSDistributedNotificationCenter defaultCenter] postNotificationName:toNSString(name) object:nil];
}

}  // namespace brannic::mac
