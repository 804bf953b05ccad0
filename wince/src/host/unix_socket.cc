#include "host/unix_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace wce {
namespace {

// A sockaddr_un for `path`. When the path is too long for sun_path, the folder is opened and
// named through /proc/self/fd; *dir keeps it open until the caller has bound or connected.
bool MakeAddress(const std::filesystem::path& path, sockaddr_un* addr, UniqueFd* dir) {
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  std::string name = path.string();
  if (name.size() >= sizeof(addr->sun_path)) {
    dir->Reset(::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir->valid()) return false;
    name = "/proc/self/fd/" + std::to_string(dir->get()) + "/" + path.filename().string();
    if (name.size() >= sizeof(addr->sun_path)) return false;
  }
  std::memcpy(addr->sun_path, name.data(), name.size());
  return true;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int UniqueFd::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

UniqueFd ListenUnix(const std::filesystem::path& path, std::string* error) {
  sockaddr_un addr;
  UniqueFd dir;
  if (!MakeAddress(path, &addr, &dir)) {
    if (error) *error = "cannot name a socket at " + path.string();
    return UniqueFd();
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {
    if (error) *error = std::string("socket: ") + std::strerror(errno);
    return UniqueFd();
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::listen(fd.get(), 16) != 0) {
    if (error) *error = path.string() + ": " + std::strerror(errno);
    return UniqueFd();
  }
  return fd;
}

UniqueFd ConnectUnix(const std::filesystem::path& path, ConnectStatus* status) {
  sockaddr_un addr;
  UniqueFd dir;
  *status = ConnectStatus::kFailed;
  if (!MakeAddress(path, &addr, &dir)) {
    if (errno == ENOENT) *status = ConnectStatus::kGone;
    return UniqueFd();
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return UniqueFd();
  int rc;
  do {
    rc = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED) *status = ConnectStatus::kGone;
    return UniqueFd();
  }
  *status = ConnectStatus::kConnected;
  return fd;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool ReadLine(int fd, std::string* line, int timeout_ms, std::size_t max_bytes,
              const std::function<bool()>& cancelled) {
  using Clock = std::chrono::steady_clock;
  const auto give_up = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  line->clear();
  char buffer[512];
  for (;;) {
    int slice = 100;
    if (timeout_ms >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(give_up - Clock::now());
      if (left.count() <= 0) return false;
      if (left.count() < slice) slice = static_cast<int>(left.count());
    }
    pollfd p{fd, POLLIN, 0};
    int rc = ::poll(&p, 1, slice);
    if (rc < 0 && errno != EINTR) return false;
    if (rc <= 0) {
      if (cancelled && cancelled()) return false;
      continue;
    }
    ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\n') return true;  // one request or reply per connection
      line->push_back(buffer[i]);
    }
    if (line->size() > max_bytes) return false;
  }
}

}  // namespace wce
