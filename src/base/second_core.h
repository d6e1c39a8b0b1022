#pragma once

#include <functional>
#include <future>
#include <memory>
#include <type_traits>

namespace lettermoor {

// The other core of a two-core split (the raw fill, find, the exports). One thread is kept for
// the life of the program and woken for each job: a thread started for each job costs tens of
// microseconds, and now and then the scheduler leaves a new thread on the caller's core until the
// caller waits for it, which makes the split slower than no split.
namespace second_core {

// Queues `task` for the kept thread; false where it may not be used: on that thread itself (its
// job would wait for itself) and in a child forked after it started (which has no such thread).
bool Post(std::function<void()> task);

}  // namespace second_core

// Starts `job` on the second core and gives its result (or its exception) through the future.
// Where the second core may not be used, the job runs here, before this returns.
template <class Job>
std::future<std::invoke_result_t<Job&>> OnSecondCore(Job job) {
  using Result = std::invoke_result_t<Job&>;
  auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
  std::future<Result> result = task->get_future();
  if (!second_core::Post([task] { (*task)(); })) (*task)();
  return result;
}

}  // namespace lettermoor
