#include "rom/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace lettermoor {

namespace {

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

// Fills an open stream and closes it; gives the error number of the first failure, or 0.
int FillAndClose(std::FILE* out, const std::function<bool(std::FILE*)>& fill, bool sync) {
  errno = 0;
  bool ok = fill(out);
  int error = ok ? 0 : (errno ? errno : EIO);
  if (ok && std::fflush(out) != 0) error = errno ? errno : EIO;
  if (!error && sync && ::fsync(::fileno(out)) != 0) error = errno;
  if (std::fclose(out) != 0 && !error) error = errno ? errno : EIO;
  return error;
}

SafeWriteResult WriteDirectly(const std::string& target, const std::function<bool(std::FILE*)>& fill) {
  SafeWriteResult result;
  std::FILE* out = std::fopen(target.c_str(), "w");
  if (!out) {
    result.error = errno;
    return result;
  }
  result.error = FillAndClose(out, fill, false);
  result.ok = result.error == 0;
  return result;
}

}  // namespace

SafeWriteResult WriteFileSafely(const std::string& target, const std::function<bool(std::FILE*)>& fill) {
  SafeWriteResult result;
  if (target.empty()) {
    result.error = ENOENT;
    return result;
  }
  struct stat st {};
  const bool exists = ::lstat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) {
    result.error = errno;
    return result;
  }
  if (exists && !S_ISREG(st.st_mode)) return WriteDirectly(target, fill);

  const std::string folder = FolderOf(target);
  std::string name = folder + "/." + BaseOf(target) + ".XXXXXX";
  std::vector<char> pattern(name.begin(), name.end());
  pattern.push_back('\0');
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  const std::string temp(pattern.data());
  // The new file keeps the old one's permissions and, where allowed, its owner; a new file gets
  // what a plain create would give it.
  if (exists) {
    ::fchmod(fd, st.st_mode & 07777);
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
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
  result.error = FillAndClose(out, fill, true);
  if (!result.error && ::rename(temp.c_str(), target.c_str()) != 0) result.error = errno;
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

}  // namespace lettermoor
