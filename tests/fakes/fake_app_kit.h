// AppKit stand-ins that remember what the application did to them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/app_kit.h"

namespace brannic::testing {

struct FakeImage final : Image {
  explicit FakeImage(std::string name) : name(std::move(name)) {}
  std::string name;  // "Icon", or "symbol 2.circle \"2\""
};

inline std::string imageName(const ImageRef& image) {
  if (!image) return "none";
  return static_cast<const FakeImage&>(*image).name;
}

class FakeControlBase {
 public:
  void bindTo(std::string_view binding, KeyValueCoding& object, std::string keyPath, BindingOptions options,
              Control& self) {
    boundKey = keyPath;
    bindingName = std::string(binding);
    continuously = options.continuouslyUpdatesValue;
    object.addObserverForKey(keyPath, [&self](const KeyValue& value) {
      const bool* flag = value ? value->get<bool>() : nullptr;
      self.setEnabled(flag != nullptr && *flag);
    });
    const KeyValue current = object.valueForKey(keyPath);
    const bool* flag = current ? current->get<bool>() : nullptr;
    self.setEnabled(flag != nullptr && *flag);
  }
  std::string bindingName;
  std::string boundKey;
  bool continuously = false;
};

class FakeButton final : public Button, public FakeControlBase {
 public:
  bool isEnabled() const override { return enabled; }
  void setEnabled(bool value) override {
    enabled = value;
    ++enabledWrites;
  }
  void bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
            BindingOptions options) override {
    bindTo(binding, object, std::move(keyPath), options, *this);
  }
  int state() const override { return stateValue; }
  bool enabled = true;
  int enabledWrites = 0;
  int stateValue = NSControlStateValueOff;
};

class FakeTextField final : public TextField, public FakeControlBase {
 public:
  bool isEnabled() const override { return enabled; }
  void setEnabled(bool value) override { enabled = value; }
  void bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
            BindingOptions options) override {
    bindTo(binding, object, std::move(keyPath), options, *this);
  }
  std::string stringValue() const override { return text; }
  void setStringValue(std::string value) override {
    text = std::move(value);
    writes.push_back(text);
  }
  bool enabled = true;
  std::string text;
  std::vector<std::string> writes;
};

class FakeTextStorage final : public TextStorage {
 public:
  void appendAttributedString(const AttributedString& string) override { entries.push_back(string); }
  std::vector<AttributedString> entries;
};

class FakeTextView final : public TextView {
 public:
  TextStorage* textStorage() override { return hasStorage ? &storage : nullptr; }
  std::size_t stringLength() const override {
    std::size_t length = 0;
    for (const auto& entry : storage.entries) length += entry.text.size();
    return length;
  }
  void scrollRangeToVisible(TextRange range) override { scrolls.push_back(range); }

  // The log's messages, each without the line feed the log adds.
  std::vector<std::string> messages() const {
    std::vector<std::string> out;
    for (const auto& entry : storage.entries) {
      std::string text = entry.text;
      if (!text.empty() && text.back() == '\n') text.pop_back();
      out.push_back(text);
    }
    return out;
  }

  bool hasStorage = true;
  FakeTextStorage storage;
  std::vector<TextRange> scrolls;
};

class FakeStatusBarButton final : public StatusBarButton {
 public:
  void setImage(ImageRef value) override {
    image = std::move(value);
    images.push_back(imageName(image));
  }
  ImageRef image;
  std::vector<std::string> images;
};

class FakeStatusItem final : public StatusItem {
 public:
  StatusBarButton* button() override { return hasButton ? &statusButton : nullptr; }
  void setMenu(Menu value) override { menu = std::move(value); }
  bool hasButton = true;
  FakeStatusBarButton statusButton;
  std::optional<Menu> menu;
};

class FakeAppKit final : public AppKit {
 public:
  int applicationMain(int, char**) override {
    ++mainCalls;
    return 0;
  }
  std::shared_ptr<StatusItem> statusItemWithLength(double length) override {
    requestedLength = length;
    return statusItem;
  }
  ImageRef imageNamed(std::string_view name) override {
    if (!hasIcon || name != "Icon") return nullptr;
    return std::make_shared<FakeImage>(std::string(name));
  }
  ImageRef imageWithSystemSymbolName(std::string_view symbol, std::string_view description) override {
    if (symbol != "2.circle" && symbol != "3.circle") return nullptr;
    return std::make_shared<FakeImage>("symbol " + std::string(symbol) + " \"" + std::string(description) + "\"");
  }
  void hide() override { ++hides; }
  double smallSystemFontSize() override { return 11.0; }
  Font systemFontOfSize(double size) override { return Font{size}; }

  std::shared_ptr<FakeStatusItem> statusItem = std::make_shared<FakeStatusItem>();
  bool hasIcon = true;
  double requestedLength = 0;
  int hides = 0;
  int mainCalls = 0;
};

}  // namespace brannic::testing
