// The application's entry point on macOS.
#include "platform/macos/main_interface_mac.h"
#include "platform/macos/platform_mac.h"

int main(int argc, char* argv[]) {
  // The ports live until the process ends; the delegate and everything the
  // core makes hold on to them.
  static brannic::mac::MacPlatform mac;
  mac.appKit().setMainInterfaceLoader([] { brannic::mac::loadMainInterface(mac.platform()); });
  mac.platform().appKit.applicationMain(argc, argv);
  return 0;
}
