#include "base/second_core.h"

#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace lettermoor::second_core {

namespace {

class Worker {
 public:
  Worker() : owner_(::getpid()), thread_([this] { Run(); }) {}

  bool Post(std::function<void()> task) {
    if (std::this_thread::get_id() == thread_.get_id() || ::getpid() != owner_) return false;
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !tasks_.empty(); });
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();  // a packaged task: what it throws goes to its future
      lock.lock();
    }
  }

  const pid_t owner_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace

bool Post(std::function<void()> task) {
  // Never destroyed: the process's end stops the thread, and a forked child, which has no such
  // thread, must not wait for it at its exit.
  static Worker& worker = *new Worker;
  return worker.Post(std::move(task));
}

}  // namespace lettermoor::second_core
