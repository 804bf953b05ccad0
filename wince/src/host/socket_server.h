// A host-side server on a listening Unix socket: one request line in, one reply line out, each
// connection served on its own host thread (a reply may wait for a window to handle a message,
// and must not hold up other requests meanwhile). None of its threads is a device thread.
#ifndef WINCE_HOST_SOCKET_SERVER_H_
#define WINCE_HOST_SOCKET_SERVER_H_

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/unix_socket.h"
#include "host/mutex.h"

namespace wce {

class SocketServer {
 public:
  // Maps a request line to its reply line (both without '\n'). Runs on a connection thread.
  using Handler = std::function<std::string(const std::string& request)>;

  // Starts serving `listener` at once.
  SocketServer(UniqueFd listener, Handler handler);
  ~SocketServer();  // Stop()s
  SocketServer(const SocketServer&) = delete;
  SocketServer& operator=(const SocketServer&) = delete;

  // Stops accepting, then waits for the requests being served to finish (a handler is never
  // abandoned half-way). Idempotent.
  void Stop();

 private:
  struct Connection {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void Serve(UniqueFd fd, Connection* connection);
  void ReapFinished();

  UniqueFd listener_;
  UniqueFd wake_read_;
  UniqueFd wake_write_;
  Handler handler_;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  Mutex mu_;
  std::list<Connection> connections_ WCE_GUARDED_BY(mu_);
};

}  // namespace wce

#endif  // WINCE_HOST_SOCKET_SERVER_H_
