#include "platform/macos/authorization_mac.h"

#import <Foundation/Foundation.h>
#import <Security/Security.h>

#include <algorithm>
#include <type_traits>
#include <vector>

#include "platform/macos/authorization_ref_mac.h"
#include "platform/macos/foundation_bridge_mac.h"
#include "platform/macos/property_list_mac.h"

namespace brannic::mac {

static_assert(std::is_same_v<brannic::AuthorizationFlags, ::AuthorizationFlags>);
static_assert(sizeof(::AuthorizationExternalForm) == std::tuple_size_v<brannic::AuthorizationExternalForm>);
static_assert(brannic::kAuthorizationFlagInteractionAllowed == ::kAuthorizationFlagInteractionAllowed);
static_assert(brannic::kAuthorizationFlagExtendRights == ::kAuthorizationFlagExtendRights);
static_assert(brannic::kAuthorizationFlagPartialRights == ::kAuthorizationFlagPartialRights);
static_assert(brannic::kAuthorizationFlagDestroyRights == ::kAuthorizationFlagDestroyRights);
static_assert(brannic::kAuthorizationFlagPreAuthorize == ::kAuthorizationFlagPreAuthorize);
static_assert(brannic::errAuthorizationDenied == ::errAuthorizationDenied);
static_assert(brannic::errAuthorizationCanceled == ::errAuthorizationCanceled);
static_assert(brannic::errAuthorizationInvalidRef == ::errAuthorizationInvalidRef);

namespace {

// An item set in the system's layout, pointing into the port's items; valid
// while those are.
class NativeItemSet {
 public:
  explicit NativeItemSet(const AuthorizationItemSet* items) : given_(items != nullptr) {
    if (items == nullptr) return;
    items_.reserve(items->size());
    for (const AuthorizationItem& item : *items) {
      items_.push_back(::AuthorizationItem{
          item.name.c_str(), item.value.size(),
          item.value.empty() ? nullptr : const_cast<std::uint8_t*>(item.value.data()), item.flags});
    }
    set_.count = static_cast<UInt32>(items_.size());
    set_.items = items_.empty() ? nullptr : items_.data();
  }
  NativeItemSet(const NativeItemSet&) = delete;
  NativeItemSet& operator=(const NativeItemSet&) = delete;

  // Null when no set was given.
  const ::AuthorizationItemSet* get() const { return given_ ? &set_ : nullptr; }

 private:
  bool given_;
  std::vector<::AuthorizationItem> items_;
  ::AuthorizationItemSet set_{0, nullptr};
};

}  // namespace

OSStatus MacAuthorizationServices::authorizationCreate(const AuthorizationItemSet* rights,
                                                       const AuthorizationItemSet* environment,
                                                       AuthorizationFlags flags,
                                                       AuthorizationRef* outAuthorization) {
  const NativeItemSet nativeRights(rights);
  const NativeItemSet nativeEnvironment(environment);
  ::AuthorizationRef created = nullptr;
  const OSStatus status = ::AuthorizationCreate(nativeRights.get(), nativeEnvironment.get(), flags,
                                                outAuthorization != nullptr ? &created : nullptr);
  if (outAuthorization != nullptr) *outAuthorization = fromNativeAuthorization(created);
  return status;
}

OSStatus MacAuthorizationServices::authorizationMakeExternalForm(AuthorizationRef authorization,
                                                                 AuthorizationExternalForm* outExternalForm) {
  if (outExternalForm == nullptr) return errAuthorizationInvalidPointer;
  ::AuthorizationExternalForm external{};
  const OSStatus status = ::AuthorizationMakeExternalForm(toNativeAuthorization(authorization), &external);
  if (status == errAuthorizationSuccess) {
    std::transform(std::begin(external.bytes), std::end(external.bytes), outExternalForm->begin(),
                   [](char byte) { return static_cast<std::uint8_t>(byte); });
  }
  return status;
}

OSStatus MacAuthorizationServices::authorizationCreateFromExternalForm(
    const AuthorizationExternalForm& externalForm, AuthorizationRef* outAuthorization) {
  ::AuthorizationExternalForm external{};
  std::transform(externalForm.begin(), externalForm.end(), std::begin(external.bytes),
                 [](std::uint8_t byte) { return static_cast<char>(byte); });
  ::AuthorizationRef created = nullptr;
  const OSStatus status =
      ::AuthorizationCreateFromExternalForm(&external, outAuthorization != nullptr ? &created : nullptr);
  if (outAuthorization != nullptr) *outAuthorization = fromNativeAuthorization(created);
  return status;
}

OSStatus MacAuthorizationServices::authorizationFree(AuthorizationRef authorization,
                                                     AuthorizationFlags flags) {
  return ::AuthorizationFree(toNativeAuthorization(authorization), flags);
}

OSStatus MacAuthorizationServices::authorizationCopyRights(AuthorizationRef authorization,
                                                           const AuthorizationItemSet& rights,
                                                           const AuthorizationItemSet* environment,
                                                           AuthorizationFlags flags) {
  const NativeItemSet nativeRights(&rights);
  const NativeItemSet nativeEnvironment(environment);
  return ::AuthorizationCopyRights(toNativeAuthorization(authorization), nativeRights.get(),
                                   nativeEnvironment.get(), flags, nullptr);
}

OSStatus MacAuthorizationServices::authorizationRightGet(const std::string& rightName,
                                                         std::optional<PropertyValue>* outDefinition) {
  @autoreleasepool {
    CFDictionaryRef stored = nullptr;
    const OSStatus status =
        ::AuthorizationRightGet(rightName.c_str(), outDefinition != nullptr ? &stored : nullptr);
    // Owned from here on, whatever the status, so nothing leaks.
    id definition = CFBridgingRelease(stored);
    if (status == errAuthorizationSuccess && outDefinition != nullptr && definition != nil)
      *outDefinition = toPropertyValue(definition);
    return status;
  }
}

OSStatus MacAuthorizationServices::authorizationRightSet(AuthorizationRef authorization,
                                                         const std::string& rightName,
                                                         const PropertyValue& rule,
                                                         const std::string& description) {
  @autoreleasepool {
    id definition = toPropertyListObject(rule);
    NSString* descriptionText = toNSString(description);
    return ::AuthorizationRightSet(toNativeAuthorization(authorization), rightName.c_str(),
                                   (__bridge CFTypeRef)definition, (__bridge CFStringRef)descriptionText,
                                   nullptr, nullptr);
  }
}

std::optional<std::string> MacAuthorizationServices::copyErrorMessageString(OSStatus status) {
  @autoreleasepool {
    NSString* message = CFBridgingRelease(SecCopyErrorMessageString(status, nullptr));
    if (message == nil) return std::nullopt;
    return toStdString(message);
  }
}

}  // namespace brannic::mac
