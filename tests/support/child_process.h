#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace lettermoor::test {

// Runs `body` in a child process and gives its exit status (or 128 + signal).
template <typename Body>
int InChild(Body&& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// In a child: gives up root for the unprivileged "nobody" user, so that file permissions hold.
// False when that could not be done.
inline bool DropToUnprivilegedUser() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

}  // namespace lettermoor::test
