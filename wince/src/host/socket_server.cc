#include "host/socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace wce {
namespace {
constexpr int kRequestTimeoutMs = 5000;  // a client that sends no request line in time is dropped
constexpr std::size_t kMaxRequestBytes = 64 * 1024;
}  // namespace

SocketServer::SocketServer(UniqueFd listener, Handler handler)
    : listener_(std::move(listener)), handler_(std::move(handler)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) == 0) {
    wake_read_.Reset(fds[0]);
    wake_write_.Reset(fds[1]);
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

SocketServer::~SocketServer() { Stop(); }

void SocketServer::Stop() {
  if (stopping_.exchange(true)) return;
  if (wake_write_.valid()) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_write_.get(), &byte, 1);
  }
  if (acceptor_.joinable()) acceptor_.join();
  listener_.Reset();
  std::list<Connection> connections;
  {
    MutexLock lock(mu_);
    connections.splice(connections.end(), connections_);
  }
  for (Connection& c : connections) c.thread.join();
}

void SocketServer::AcceptLoop() {
  while (!stopping_.load()) {
    pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {wake_read_.get(), POLLIN, 0}};
    int rc = ::poll(fds, wake_read_.valid() ? 2 : 1, 100);
    if (rc < 0 && errno != EINTR) return;
    ReapFinished();
    if (rc <= 0 || !(fds[0].revents & POLLIN)) continue;
    UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd.valid()) continue;
    MutexLock lock(mu_);
    Connection& c = connections_.emplace_back();
    c.thread = std::thread([this, fd = std::make_shared<UniqueFd>(std::move(fd)), &c]() mutable {
      Serve(std::move(*fd), &c);
    });
  }
}

void SocketServer::Serve(UniqueFd fd, Connection* connection) {
  std::string request;
  if (ReadLine(fd.get(), &request, kRequestTimeoutMs, kMaxRequestBytes,
               [this] { return stopping_.load(); })) {
    WriteAll(fd.get(), handler_(request) + "\n");
  }
  connection->done.store(true);
}

void SocketServer::ReapFinished() {
  std::list<Connection> finished;
  {
    MutexLock lock(mu_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if (it->done.load()) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (Connection& c : finished) c.thread.join();
}

}  // namespace wce
