// The second core's kept thread: results and failures come back through the future, and a job
// started where the thread may not be used (on it, or in a forked child) runs in place instead of
// waiting for ever.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "base/second_core.h"
#include "support/child_process.h"

namespace lettermoor {
namespace {

TEST(SecondCore, GivesResultsAndFailuresAndRunsInPlaceWhereItCannotWait) {
  // Many jobs in turn, each on the kept thread, not the caller's.
  const std::thread::id caller = std::this_thread::get_id();
  for (int n = 0; n < 200; ++n) {
    auto job = OnSecondCore([n, caller] { return std::this_thread::get_id() != caller ? n : -1; });
    ASSERT_EQ(job.get(), n);
  }
  // What a job throws reaches whoever waits for it.
  auto failing = OnSecondCore([]() -> int { throw std::runtime_error("no"); });
  EXPECT_THROW(failing.get(), std::runtime_error);
  // A job that starts another and waits for it: the inner one runs in place on the kept thread.
  auto outer = OnSecondCore([] { return OnSecondCore([] { return 7; }).get() + 1; });
  ASSERT_EQ(outer.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(outer.get(), 8);
  // A child forked once the thread runs has no such thread: its jobs run in place.
  const int status = test::InChild([] {
    ::alarm(20);  // a child that waits for a thread it does not have ends here, not never
    return OnSecondCore([] { return 5; }).get() == 5 ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace lettermoor
