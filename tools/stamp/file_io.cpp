#include "stamp/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace kelvra::stamp {

namespace {

std::string describeErrno(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Closes the descriptor and removes the temporary file unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& pattern) {
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    descriptor_ = mkstemp(buffer.data());
    created_ = descriptor_ >= 0;
    path_ = buffer.data();
  }
  ~TemporaryFile() {
    if (descriptor_ >= 0) close(descriptor_);
    if (created_ && !kept_) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  [[nodiscard]] bool valid() const { return descriptor_ >= 0; }
  [[nodiscard]] int descriptor() const { return descriptor_; }
  [[nodiscard]] const std::string& path() const { return path_; }
  // A failed close can mean unwritten data: the caller must not rename then.
  [[nodiscard]] bool tryCloseNow() { return close(std::exchange(descriptor_, -1)) == 0; }
  void keep() { kept_ = true; }

 private:
  std::string path_;
  int descriptor_ = -1;
  bool created_ = false;
  bool kept_ = false;
};

bool tryWriteAll(int descriptor, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

FileBytes readWholeFile(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    return {{}, describeErrno("cannot open", path)};
  }
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t count = read(descriptor, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      FileBytes failure{{}, describeErrno("cannot read", path)};
      close(descriptor);
      return failure;
    }
    if (count == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
  close(descriptor);
  return {std::move(bytes), {}};
}

std::string writeFileAtomically(const std::string& path, const std::string& bytes, const std::string& modeSource) {
  TemporaryFile temporary(path + ".tmp-XXXXXX");
  if (!temporary.valid()) return describeErrno("cannot create a temporary file beside", path);
  struct stat source {};
  const mode_t mode = stat(modeSource.c_str(), &source) == 0 ? (source.st_mode & 07777) : 0644;
  if (fchmod(temporary.descriptor(), mode) != 0) return describeErrno("cannot set the mode of", temporary.path());
  if (!tryWriteAll(temporary.descriptor(), bytes)) return describeErrno("cannot write", temporary.path());
  if (fsync(temporary.descriptor()) != 0) return describeErrno("cannot flush", temporary.path());
  if (!temporary.tryCloseNow()) return describeErrno("cannot close", temporary.path());
  if (rename(temporary.path().c_str(), path.c_str()) != 0) return describeErrno("cannot rename the output to", path);
  temporary.keep();
  return {};
}

bool sameFile(const std::string& first, const std::string& second) {
  struct stat a {};
  struct stat b {};
  return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace kelvra::stamp
