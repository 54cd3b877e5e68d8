// A script read from a descriptor (a pipe, a terminal, a file) that ends
// early once another descriptor becomes readable: reading never waits past
// that moment, so a session blocked on its input can still be told to stop.
#pragma once

#include <streambuf>

namespace brannic::sim {

class DescriptorInput : public std::streambuf {
 public:
  // REQUIRES: both descriptors stay open while this reads.
  DescriptorInput(int inputFd, int endFd) : inputFd_(inputFd), endFd_(endFd) {}

 protected:
  int_type underflow() override;

 private:
  int inputFd_;
  int endFd_;
  char buffer_[4096];
};

}  // namespace brannic::sim
