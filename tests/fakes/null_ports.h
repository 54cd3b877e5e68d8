// Ports that answer as a machine without the facility would: no output, no
// device, no resources, no helper. Tests replace the ones they exercise.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace brannic::testing {

class NullShell final : public Shell {
 public:
  std::optional<std::string> launchAndReadStandardOutput(const std::string&,
                                                         const std::vector<std::string>&) override {
    return std::string();
  }
};

class NullAudioHardware final : public AudioHardware {
 public:
  bool hasProperty(AudioObjectID, const AudioObjectPropertyAddress&) override { return false; }
  OSStatus isPropertySettable(AudioObjectID, const AudioObjectPropertyAddress&, bool*) override { return -1; }
  OSStatus getPropertyData(AudioObjectID, const AudioObjectPropertyAddress&, std::uint32_t, const void*,
                           std::uint32_t*, void*) override {
    return -1;
  }
  OSStatus setPropertyData(AudioObjectID, const AudioObjectPropertyAddress&, std::uint32_t, const void*,
                           std::uint32_t, const void*) override {
    return -1;
  }
};

class NullAudioPlayerFactory final : public AudioPlayerFactory {
 public:
  std::unique_ptr<AudioPlayer> playerWithContentsOfURL(const std::string&, std::string* error) override {
    if (error) *error = "no audio";
    return nullptr;
  }
};

class NullBundle final : public Bundle {
 public:
  std::string bundleURL() override { return "/Applications/Brannic.app"; }
  std::optional<std::string> urlForResource(std::string_view, std::string_view) override { return std::nullopt; }
  std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string&) override { return std::nullopt; }
};

class NullXpcConnections final : public XpcConnections {
 public:
  std::shared_ptr<XpcConnection> connectionWithMachServiceName(const std::string&, std::uint64_t) override {
    return nullptr;
  }
};

class NullAuthorizationServices final : public AuthorizationServices {
 public:
  OSStatus authorizationCreate(const AuthorizationItemSet*, const AuthorizationItemSet*, AuthorizationFlags,
                               AuthorizationRef* out) override {
    if (out) *out = nullptr;
    return errAuthorizationDenied;
  }
  OSStatus authorizationMakeExternalForm(AuthorizationRef, AuthorizationExternalForm*) override {
    return errAuthorizationInvalidRef;
  }
  OSStatus authorizationCreateFromExternalForm(const AuthorizationExternalForm&, AuthorizationRef*) override {
    return errAuthorizationInvalidRef;
  }
  OSStatus authorizationFree(AuthorizationRef, AuthorizationFlags) override {
    return errAuthorizationInvalidRef;
  }
  OSStatus authorizationCopyRights(AuthorizationRef, const AuthorizationItemSet&, const AuthorizationItemSet*,
                                   AuthorizationFlags) override {
    return errAuthorizationDenied;
  }
  OSStatus authorizationRightGet(const std::string&, std::optional<PropertyValue>*) override {
    return errAuthorizationDenied;
  }
  OSStatus authorizationRightSet(AuthorizationRef, const std::string&, const PropertyValue&,
                                 const std::string&) override {
    return errAuthorizationDenied;
  }
  std::optional<std::string> copyErrorMessageString(OSStatus) override { return std::nullopt; }
};

class NullServiceManagement final : public ServiceManagement {
 public:
  bool jobBless(const std::string&, const std::string&, AuthorizationRef, std::optional<PlatformError>*) override {
    return false;
  }
};

}  // namespace brannic::testing
