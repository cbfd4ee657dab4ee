// A tiny HTTP/1.1 server on 127.0.0.1 for the URL signal tests: one
// connection at a time, every wait bounded, stopped by its destructor.
//   /ok       200 "hello" with the header X-Test: yes
//   /missing  404 "no such thing"
//   /utf16    200, "hi" in UTF-16 little-endian with its byte-order mark
//   /stall    reads the request, answers nothing, and waits for the client
//             to close the connection
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace rstest {

class LocalHTTPServer {
public:
  LocalHTTPServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  ~LocalHTTPServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
  }
  LocalHTTPServer(const LocalHTTPServer&) = delete;
  LocalHTTPServer& operator=(const LocalHTTPServer&) = delete;

  bool running() const { return port_ != 0; }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  int requestCount() const { return requests_; }
  bool stallRequested() const { return stallRequested_; }
  bool stallClosedByClient() const { return stallClosed_; }

private:
  static constexpr auto kBound = std::chrono::seconds(5);

  void run() {
    while (!stop_) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 50) <= 0) continue;
      int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      serve(connection);
      ::close(connection);
    }
  }

  // Reads until the blank line that ends the head; false on time-out or close.
  bool readHead(int connection, std::string& head) {
    auto deadline = std::chrono::steady_clock::now() + kBound;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (stop_ || std::chrono::steady_clock::now() > deadline) return false;
      pollfd waiting{connection, POLLIN, 0};
      if (::poll(&waiting, 1, 50) <= 0) continue;
      ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      head.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }

  static void answer(int connection, const char* status, const std::string& body, const char* extra = "") {
    std::string response = std::string("HTTP/1.1 ") + status + "\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nConnection: close\r\n" + extra + "\r\n" + body;
    size_t sent = 0;
    while (sent < response.size()) {
      ssize_t n = ::send(connection, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  void serve(int connection) {
    std::string head;
    if (!readHead(connection, head)) return;
    ++requests_;
    std::string path = head.substr(head.find(' ') + 1);
    path = path.substr(0, path.find(' '));
    if (path == "/ok") {
      answer(connection, "200 OK", "hello", "Content-Type: text/plain\r\nX-Test: yes\r\n");
    } else if (path == "/utf16") {
      answer(connection, "200 OK", std::string("\xFF\xFEh\0i\0", 6));
    } else if (path == "/stall") {
      stallRequested_ = true;
      auto deadline = std::chrono::steady_clock::now() + kBound;
      char buffer[256];
      while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        pollfd waiting{connection, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        if (::recv(connection, buffer, sizeof buffer, 0) <= 0) {
          stallClosed_ = true;
          return;
        }
      }
    } else {
      answer(connection, "404 Not Found", "no such thing");
    }
  }

  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::atomic<bool> stallRequested_{false};
  std::atomic<bool> stallClosed_{false};
};

// A port on 127.0.0.1 that refuses connections while this lives: bound, never
// listening.
class RefusingPort {
public:
  RefusingPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~RefusingPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace rstest
