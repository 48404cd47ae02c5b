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

// Every signal whose default action ends the process, but SIGPIPE, which opfreq ignores so that
// a reader that goes away is a write error.
constexpr int kCleanedSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGALRM,   SIGTERM, SIGUSR1,
    SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
#ifdef SIGPOLL
    SIGPOLL,
#endif
};

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

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The file that `name` finally leads to, links followed one by one, so that a link that leads
// nowhere yet names the file it will lead to. 0, or the errno value of the failure.
int finalTarget(std::string& path) {
  for (int links = 0; links < 40; ++links) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return errno;
    if (static_cast<size_t>(length) == target.size()) return ENAMETOOLONG;
    target.resize(static_cast<size_t>(length));
    if (!target.starts_with('/')) target.insert(0, folderOf(path));
    path = std::move(target);
  }
  return ELOOP;
}

}  // namespace

struct OutputFile::Platform {
  int fd = -1;
  std::string name;       // the file that is replaced
  std::string temporary;  // empty when the file is written directly
};

std::unique_ptr<OutputFile> OutputFile::open(std::string_view name, OpenFailure& failure) {
  std::unique_ptr<OutputFile> file(new OutputFile);
  file->platform_ = std::make_unique<Platform>();
  Platform& p = *file->platform_;
  p.name = name;
  if (const int error = finalTarget(p.name); error != 0) {
    failure = {error, ""};
    return nullptr;
  }
  struct stat existing {};
  const bool exists = ::stat(p.name.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device, a FIFO or a terminal takes the bytes as they come; a folder is refused here.
    p.fd = ::open(p.name.c_str(), O_WRONLY | O_CLOEXEC);
    if (p.fd < 0) failure = {errno, ""};
    return p.fd < 0 ? nullptr : std::move(file);
  }
  // What the shell's > would refuse is refused before anything is done.
  if (exists && ::access(p.name.c_str(), W_OK) != 0) {
    failure = {errno, ""};
    return nullptr;
  }
  const std::string folder = folderOf(p.name);
  p.temporary = folder + ".opfreq-XXXXXX";
  if (p.temporary.size() >= sizeof pendingName) {
    failure = {ENAMETOOLONG, ""};
    return nullptr;
  }
  p.fd = ::mkstemp(p.temporary.data());
  if (p.fd < 0) {
    // With the file there and writable, it is the folder that cannot take the temporary file.
    const int error = errno;
    const std::string shown = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
    failure = {error, exists && error != ENOENT ? (folder.empty() ? "." : shown) : ""};
    p.temporary.clear();
    return nullptr;
  }
  // The permissions, owner and group the file has, or the permissions a new file would get.
  // The owner first: changing it clears the set-user-ID and set-group-ID bits, which the mode
  // then sets again where the system allows.
  if (exists) {
    if (::fchown(p.fd, existing.st_uid, existing.st_gid) != 0) {
      [[maybe_unused]] const int ignored = ::fchown(p.fd, static_cast<uid_t>(-1), existing.st_gid);
    }
    ::fchmod(p.fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(p.fd, 0666 & ~mask);
  }
  std::memcpy(pendingName, p.temporary.c_str(), p.temporary.size() + 1);
  watchSignals(true);
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
