#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "textout/output_file.h"
#include "textout/stdout_sink.h"

namespace opfreq {
namespace {

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file's name, for a signal handler to remove it: a fixed buffer, since the
// handler can only use what is already in place.
char pendingName[4096];
struct sigaction previousActions[std::size(kCleanedSignals)];

extern "C" void removePendingAndDie(int signal) {
  if (pendingName[0] != '\0') ::unlink(pendingName);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void watchSignals(bool on) {
  for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
    if (on) {
      struct sigaction action {};
      action.sa_handler = removePendingAndDie;
      sigemptyset(&action.sa_mask);
      sigaction(kCleanedSignals[i], &action, &previousActions[i]);
      // A signal that the caller ignores (a background job's Ctrl+C) stays ignored.
      if (previousActions[i].sa_handler == SIG_IGN) {
        sigaction(kCleanedSignals[i], &previousActions[i], nullptr);
      }
    } else {
      sigaction(kCleanedSignals[i], &previousActions[i], nullptr);
    }
  }
}

}  // namespace

struct OutputFile::Platform {
  int fd = -1;
  std::string name;
  std::string temporary;  // empty when the named file is written directly
};

std::unique_ptr<OutputFile> OutputFile::open(std::string_view name, int& error) {
  std::unique_ptr<OutputFile> file(new OutputFile);
  file->platform_ = std::make_unique<Platform>();
  Platform& p = *file->platform_;
  p.name = name;
  // A link is written through, never replaced: the rename goes to the file it leads to.
  struct stat link {};
  if (::lstat(p.name.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* target = ::realpath(p.name.c_str(), nullptr)) {
      p.name = target;
      std::free(target);
    }
  }
  struct stat existing {};
  const bool exists = ::stat(p.name.c_str(), &existing) == 0;
  if ((exists && !S_ISREG(existing.st_mode)) || S_ISLNK(link.st_mode)) {
    // A device, a FIFO, or a link that leads nowhere yet.
    p.fd = ::open(p.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } else {
    const size_t slash = p.name.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : p.name.substr(0, slash + 1);
    p.temporary = folder + ".opfreq-XXXXXX";
    if (p.temporary.size() >= sizeof pendingName) {
      error = ENAMETOOLONG;
      return nullptr;
    }
    p.fd = ::mkstemp(p.temporary.data());
    if (p.fd >= 0) {
      // The permissions the file has, or that a new file would get.
      mode_t mode = existing.st_mode & 07777;
      if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
      }
      ::fchmod(p.fd, mode);
      std::memcpy(pendingName, p.temporary.c_str(), p.temporary.size() + 1);
      watchSignals(true);
    }
  }
  if (p.fd < 0) {
    error = errno;
    p.temporary.clear();
    return nullptr;
  }
  return file;
}

OutputFile::~OutputFile() {
  if (platform_ == nullptr || platform_->fd < 0) return;
  ::close(platform_->fd);
  if (!platform_->temporary.empty()) {
    ::unlink(platform_->temporary.c_str());
    pendingName[0] = '\0';
    watchSignals(false);
  }
}

int OutputFile::flush() {
  if (error_ == 0) error_ = writeAllTo(platform_->fd, buffer_);
  buffer_.clear();
  return error_;
}

int OutputFile::commit() {
  Platform& p = *platform_;
  int error = flush();
  if (::close(p.fd) != 0 && error == 0) error = errno;
  p.fd = -1;
  if (p.temporary.empty()) return error;
  if (error == 0 && ::rename(p.temporary.c_str(), p.name.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(p.temporary.c_str());
  pendingName[0] = '\0';
  watchSignals(false);
  return error;
}

}  // namespace opfreq
