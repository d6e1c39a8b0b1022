#include "rom/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lettermoor {

namespace {

// What marks our temporary files: ".NAME" + this + six random characters.
constexpr const char* kTemporaryMark = ".lettermoor-";
constexpr size_t kRandomLength = 6;

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the temporary files a killed writer left for this target: ours by their name, a
// regular file, and not locked by a writer that is still at work.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + kRandomLength || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string path = folder + "/" + name;
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) continue;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) continue;
    struct stat held {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        SameFile(held, named)) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

// A new temporary file in `folder`, locked by us; `name` gets its path. Another writer's clean-up
// may take a file between its making and our lock: then it is gone and another one is made.
int CreateTemporary(const std::string& folder, const std::string& prefix, std::string& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = folder + "/" + prefix + std::string(kRandomLength, 'X');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    int locked = -1;
    while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    struct stat held {}, named {};
    // Without file locks (some network file systems) nobody can take it away either.
    if (locked != 0 || (::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 && SameFile(held, named))) {
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// Fills an open stream and flushes it (and syncs it with `sync`); gives the error number of the
// first failure, or 0. The stream stays open.
int Fill(std::FILE* out, const std::function<bool(std::FILE*)>& fill, bool sync) {
  errno = 0;
  bool ok = fill(out);
  int error = ok ? 0 : (errno ? errno : EIO);
  if (ok && std::fflush(out) != 0) error = errno ? errno : EIO;
  if (!error && sync && ::fsync(::fileno(out)) != 0) error = errno;
  return error;
}

SafeWriteResult WriteDirectly(const std::string& target, const std::function<bool(std::FILE*)>& fill) {
  SafeWriteResult result;
  std::FILE* out = std::fopen(target.c_str(), "w");
  if (!out) {
    result.error = errno;
    return result;
  }
  result.error = Fill(out, fill, false);
  if (std::fclose(out) != 0 && !result.error) result.error = errno ? errno : EIO;
  result.ok = result.error == 0;
  return result;
}

// Writes a temporary file beside the target, syncs it, renames it over the target and syncs the
// folder. `old`, when given, is the regular file at the target, whose permissions are kept.
SafeWriteResult WriteThroughTemporary(const std::string& target, const std::function<bool(std::FILE*)>& fill,
                                      const struct stat* old) {
  SafeWriteResult result;
  const std::string folder = FolderOf(target);
  const std::string prefix = "." + BaseOf(target) + kTemporaryMark;
  RemoveStaleTemporaries(folder, prefix);
  std::string temp;
  const int fd = CreateTemporary(folder, prefix, temp);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  // The new file keeps the old one's permissions and, where allowed, its owner; a new file gets
  // what a plain create would give it.
  if (old) {
    ::fchmod(fd, old->st_mode & 07777);
    if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
      // Not ours to give away: the file stays ours, which is what a plain create makes too.
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  std::FILE* out = ::fdopen(fd, "w");
  if (!out) {
    result.error = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return result;
  }
  result.error = Fill(out, fill, true);
  if (!result.error && ::rename(temp.c_str(), target.c_str()) != 0) result.error = errno;
  // Closed only now: the lock is held until the file has its name, so no clean-up takes a
  // finished file away. Everything was flushed and synced already.
  std::fclose(out);
  if (result.error) {
    ::unlink(temp.c_str());
    return result;
  }
  // The rename itself reaches the disk with the folder.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  result.ok = true;
  result.replacedWhole = true;
  return result;
}

// Looks at what is at the target without following a link; st_mode stays 0 when nothing is there.
// Gives the error number when it cannot be looked at.
int LookAt(const std::string& target, struct stat& st) {
  st = {};
  if (target.empty()) return ENOENT;
  if (::lstat(target.c_str(), &st) == 0 || errno == ENOENT) return 0;
  return errno;
}

SafeWriteResult Refused(int error) {
  SafeWriteResult result;
  result.error = error;
  return result;
}

}  // namespace

std::string SafeWriteErrorText(int error) {
  if (error == kNotARegularFile) return "is not a regular file";
  return std::strerror(error ? error : EIO);
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

SafeWriteResult WriteFileSafely(const std::string& target, const std::function<bool(std::FILE*)>& fill) {
  struct stat st;
  if (const int error = LookAt(target, st)) return Refused(error);
  if (st.st_mode != 0 && !S_ISREG(st.st_mode)) return WriteDirectly(target, fill);
  return WriteThroughTemporary(target, fill, st.st_mode != 0 ? &st : nullptr);
}

SafeWriteResult WriteFileReplacing(const std::string& target, const std::function<bool(std::FILE*)>& fill) {
  struct stat st;
  if (const int error = LookAt(target, st)) return Refused(error);
  if (st.st_mode != 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return Refused(kNotARegularFile);
  return WriteThroughTemporary(target, fill, S_ISREG(st.st_mode) ? &st : nullptr);
}

}  // namespace lettermoor
