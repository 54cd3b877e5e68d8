// A call that must return in bounded time, run so that a hang fails the test
// program instead of stalling the whole test run.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <utility>

namespace brannic::testing {

// Runs `call` on a thread of its own and returns its result. A call that has
// not returned within `limit` ends the test program with a message naming
// `what` (nothing else can stop a thread stuck in a system call).
template <typename Call>
auto callWithin(std::chrono::seconds limit, const std::string& what, Call call) -> decltype(call()) {
  std::packaged_task<decltype(call())()> task(std::move(call));
  auto result = task.get_future();
  std::thread running(std::move(task));
  if (result.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "%s does not return within %lld s\n", what.c_str(),
                 static_cast<long long>(limit.count()));
    std::abort();
  }
  running.join();
  return result.get();
}

}  // namespace brannic::testing
