#include "platform/macos/notification_center_mac.h"

#import <Foundation/Foundation.h>

#include <map>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

// The centre's observer tokens, by the handles given out for them.
struct MacDistributedNotificationCenter::Observers {
  std::map<ObserverHandle, id<NSObject>> tokens;
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
  id<NSObject> token =
      [[NSDistributedNotificationCenter defaultCenter] addObserverForName:toNSString(name)
                                                                   object:nil
                                                                    queue:[NSOperationQueue mainQueue]
                                                               usingBlock:^(NSNotification* notification) {
                                                                 block(toStdString(notification.name));
                                                               }];
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
