// An observable password: one string held in memory, and a publisher that
// announces each assignment before it takes effect.
//
// Threads: one thread at a time (the owner's).
#pragma once

#include <string>

#include "lid_alarm/change_publisher.h"

namespace brannic {

// No caller in the application; kept as the password model defines it.
class Password {
 public:
  explicit Password(std::string initial = "") : password_(std::move(initial)) {}
  Password(const Password&) = delete;
  Password& operator=(const Password&) = delete;

  const std::string& password() const { return password_; }

  // Lets objectWillChange send first (its subscribers still read the old
  // value), then stores `value`. Every assignment sends, even of an equal
  // string.
  void setPassword(std::string value);

  ChangePublisher& objectWillChange() { return objectWillChange_; }

 private:
  std::string password_;
  ChangePublisher objectWillChange_;
};

}  // namespace brannic
