// Small POSIX helpers for the run folder's Unix stream sockets: one newline-terminated request,
// one newline-terminated reply per connection.
#ifndef WINCE_HOST_UNIX_SOCKET_H_
#define WINCE_HOST_UNIX_SOCKET_H_

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace wce {

// Owns a file descriptor; closes it on destruction.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Binds a listening socket at `path` (replacing a leftover file there). Paths longer than a
// socket address holds are reached through /proc/self/fd. Returns an invalid fd and sets *error
// on failure. The descriptor is close-on-exec.
UniqueFd ListenUnix(const std::filesystem::path& path, std::string* error);

enum class ConnectStatus {
  kConnected,
  kGone,    // nobody listens there (no such file, or connection refused): a stale entry
  kFailed,  // any other error
};
// Connects to the socket at `path`. The descriptor is close-on-exec.
UniqueFd ConnectUnix(const std::filesystem::path& path, ConnectStatus* status);

// Writes all of `data`. False on error (a peer that went away included).
bool WriteAll(int fd, std::string_view data);

// Reads up to and excluding the first '\n' into *line. Gives up (false) at end of stream, on an
// error, after `timeout_ms` of real time (negative: none), when the line exceeds `max_bytes`, or
// when `cancelled` (checked every 100 ms; may be empty) returns true.
bool ReadLine(int fd, std::string* line, int timeout_ms, std::size_t max_bytes,
              const std::function<bool()>& cancelled);

}  // namespace wce

#endif  // WINCE_HOST_UNIX_SOCKET_H_
