#include "serve/connections.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>

namespace serve {
namespace {

using Clock = std::chrono::steady_clock;

std::int64_t Ms(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Waits for the socket to be readable (or writable) for at most `ms`; false on a time-out or an error.
bool Await(int fd, short events, std::int64_t ms) {
  if (ms <= 0) return false;
  pollfd p{fd, events, 0};
  for (;;) {
    const int rc = poll(&p, 1, static_cast<int>(std::min<std::int64_t>(ms, 1 << 30)));
    if (rc < 0 && errno == EINTR) continue;
    return rc > 0;
  }
}

std::string AddressText(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&a)) {
      inet_ntop(AF_INET, &a.s6_addr[12], text, sizeof text);
    } else {
      inet_ntop(AF_INET6, &a, text, sizeof text);
    }
  }
  return text;
}

int PortOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
  return 0;
}

// A connection as the library reads and writes it, every read held to the request's deadline: the head
// within the grace, and the bytes after it at the least rate on average.
class GuardedStream : public httplib::Stream {
 public:
  GuardedStream(int fd, const ConnectionLimits& limits) : fd_(fd), limits_(limits) {}

  // Waits up to `ms` for a request's first byte, and starts its clock.
  bool AwaitRequest(int ms) {
    if (pos_ == len_ && !Await(fd_, POLLIN, ms)) return false;
    start_ = Clock::now();
    received_ = 0;
    return true;
  }

  bool is_readable() const override { return pos_ < len_ || Await(fd_, POLLIN, Left()); }
  bool is_writable() const override { return Await(fd_, POLLOUT, limits_.writeMs); }

  ssize_t read(char* ptr, size_t size) override {
    if (pos_ == len_) {
      if (!Await(fd_, POLLIN, Left())) return -1;
      ssize_t n;
      do {
        n = recv(fd_, buffer_, sizeof buffer_, 0);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) return n;
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
      received_ += len_;
    }
    const std::size_t n = std::min(size, len_ - pos_);
    std::memcpy(ptr, buffer_ + pos_, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!Await(fd_, POLLOUT, limits_.writeMs)) return -1;
    ssize_t n;
    do {
      n = send(fd_, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    ip = AddressText(address);
    port = PortOf(address);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    ip = AddressText(address);
    port = PortOf(address);
  }
  int socket() const override { return fd_; }

 private:
  // How long the request may still wait for its next bytes: past the grace, as long as what came so far
  // covers the time at the least rate.
  std::int64_t Left() const {
    const std::int64_t earned =
        limits_.graceMs +
        static_cast<std::int64_t>(received_ * 1000 / std::max<std::size_t>(1, limits_.leastBytesPerSecond));
    return std::min<std::int64_t>(earned - Ms(Clock::now() - start_), limits_.graceMs);
  }

  const int fd_;
  const ConnectionLimits& limits_;
  Clock::time_point start_ = Clock::now();
  std::size_t received_ = 0;
  char buffer_[4096];
  std::size_t pos_ = 0, len_ = 0;
};

// A web server in front of the robot on this machine brings every client through one address: its
// connections are bounded by its own settings, not by ours.
bool Exempt(const std::string& address) { return address == "127.0.0.1" || address == "::1"; }

}  // namespace

RobotServer::RobotServer(ConnectionLimits limits) : limits_(limits) {
  const int workers = limits_.workers;
  new_task_queue = [workers] { return new httplib::ThreadPool(static_cast<std::size_t>(workers)); };
}

std::string RobotServer::PeerAddress(int socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "";
  return AddressText(address);
}

bool RobotServer::process_and_close_socket(int sock) {
  const std::string address = PeerAddress(sock);
  bool admitted = true;
  if (!Exempt(address)) {
    std::lock_guard<std::mutex> lock(mutex_);
    int& open = open_[address];
    admitted = open < limits_.perAddress;
    if (admitted) ++open;
  }
  bool ok = false;
  if (admitted) {
    ok = Serve(sock);
    if (!Exempt(address)) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (--open_[address] <= 0) open_.erase(address);
    }
  } else {
    static const char kBusy[] =
        "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 10\r\nConnection: close\r\n"
        "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 41\r\n\r\n"
        "Too many connections from your address.\r\n";
    if (Await(sock, POLLOUT, 100)) send(sock, kBusy, sizeof kBusy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  }
  shutdown(sock, SHUT_RDWR);
  close(sock);
  return ok;
}

bool RobotServer::Serve(int sock) {
  GuardedStream stream(sock, limits_);
  bool ok = true;
  for (int left = limits_.requestsPerConnection; ok && left > 0 && is_running(); --left) {
    const bool first = left == limits_.requestsPerConnection;
    if (!stream.AwaitRequest(first ? limits_.graceMs : limits_.keepAliveMs)) break;
    bool closed = false;
    try {
      ok = process_request(stream, left == 1 || !is_running(), closed, nullptr);
    } catch (const std::exception& e) {
      std::cerr << "zorvant serve: a request from " << PeerAddress(sock)
                << " ended its connection: " << e.what() << std::endl;
      ok = false;
    } catch (...) {
      std::cerr << "zorvant serve: a request from " << PeerAddress(sock)
                << " ended its connection: an unknown error" << std::endl;
      ok = false;
    }
    if (closed) break;
  }
  return ok;
}

}  // namespace serve
