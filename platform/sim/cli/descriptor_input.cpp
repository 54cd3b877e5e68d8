#include "platform/sim/cli/descriptor_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace brannic::sim {

DescriptorInput::int_type DescriptorInput::underflow() {
  for (;;) {
    pollfd watched[2] = {{endFd_, POLLIN, 0}, {inputFd_, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return traits_type::eof();
    }
    // The end comes first, even when input is waiting too.
    if (watched[0].revents != 0) return traits_type::eof();
    const ssize_t count = ::read(inputFd_, buffer_, sizeof buffer_);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + count);
    return traits_type::to_int_type(buffer_[0]);
  }
}

}  // namespace brannic::sim
