// The window's controls behind the ports: buttons and check boxes, text
// fields and the text view. Each wrapper refers to its view weakly; the
// outlets and the window own the views. Objective-C++ only.
#pragma once

#ifndef __OBJC__
#error "controls_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <AppKit/AppKit.h>

#include <memory>

#include "platform/app_kit.h"

namespace brannic::mac {

// Null for a nil view.
std::unique_ptr<Button> makeButton(NSButton* button);
std::unique_ptr<TextField> makeTextField(NSTextField* textField);
std::unique_ptr<TextView> makeTextView(NSTextView* textView);

}  // namespace brannic::mac
