#include "lid_alarm/password.h"

#include <utility>

namespace brannic {

void Password::setPassword(std::string value) {
  objectWillChange_.send();
  password_ = std::move(value);
}

}  // namespace brannic
