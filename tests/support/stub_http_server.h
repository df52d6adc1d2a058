// A small HTTP server on 127.0.0.1 for the download and upload tests: scripted answers per path,
// a path that never answers, and a record of the requests (their heads and, by their
// Content-Length, their bodies). Bounded: every wait has a limit and the destructor
// closes every connection and joins every thread.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cantrel_test {

class StubHttpServer {
 public:
  struct Answer {
    int status = 200;
    std::string body;
    std::string location;       // for a redirect
    bool never_answer = false;  // read the request, then stay silent until the server stops
  };

  StubHttpServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 16) != 0) {
      close(listener_);
      listener_ = -1;
      return;
    }
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~StubHttpServer() {
    stop_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : workers_) t.join();
    if (listener_ >= 0) close(listener_);
  }

  bool ok() const { return listener_ >= 0; }
  int port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  void Set(const std::string& path, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[path] = std::move(answer);
  }

  // The request heads received so far.
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  // Their bodies, in the same order (empty for a request without one).
  std::vector<std::string> Bodies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_;
  }

  // A port on 127.0.0.1 where nothing listens (connections are refused).
  static int ClosedPort() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
  }

 private:
  void AcceptLoop() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int conn = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (conn < 0) continue;
      if (workers_.size() >= 64) {  // bounded
        close(conn);
        continue;
      }
      workers_.emplace_back([this, conn] { Serve(conn); });
    }
  }

  // Waits for input until the server stops or the deadline passes.
  bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) return true;
    }
    return false;
  }

  void Serve(int conn) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string head;
    char chunk[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      if (!WaitReadable(conn, deadline)) break;
      const ssize_t n = recv(conn, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      head.append(chunk, static_cast<size_t>(n));
    }
    // The body, as long as the head's Content-Length says (bounded).
    std::string body;
    const size_t end = head.find("\r\n\r\n");
    if (end != std::string::npos) {
      body = head.substr(end + 4);
      head.resize(end + 4);
      const size_t length = std::min<size_t>(ContentLength(head), size_t{64} << 20);
      while (body.size() < length) {
        if (!WaitReadable(conn, deadline)) break;
        const ssize_t n = recv(conn, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        body.append(chunk, static_cast<size_t>(n));
      }
    }
    const size_t sp1 = head.find(' ');
    const size_t sp2 = head.find(' ', sp1 + 1);
    const std::string path =
        (sp1 != std::string::npos && sp2 != std::string::npos) ? head.substr(sp1 + 1, sp2 - sp1 - 1)
                                                               : std::string();
    Answer answer;
    bool known = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head);
      bodies_.push_back(body);
      auto it = answers_.find(path);
      if (it != answers_.end()) {
        answer = it->second;
        known = true;
      }
    }
    if (!known) {
      answer.status = 404;
      answer.body = "<html>not found</html>";
    }
    if (answer.never_answer) {
      while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      close(conn);
      return;
    }
    std::string reply = "HTTP/1.1 " + std::to_string(answer.status) + " " + Reason(answer.status) +
                        "\r\nContent-Length: " + std::to_string(answer.body.size()) +
                        "\r\nConnection: close\r\n";
    if (!answer.location.empty()) reply += "Location: " + answer.location + "\r\n";
    reply += "\r\n" + answer.body;
    size_t sent = 0;
    while (sent < reply.size() && !stop_) {
      const ssize_t n = send(conn, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    shutdown(conn, SHUT_WR);
    // Let the client read everything before the socket goes away.
    WaitReadable(conn, std::chrono::steady_clock::now() + std::chrono::seconds(2));
    close(conn);
  }

  static size_t ContentLength(const std::string& head) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find("\r\ncontent-length:");
    return at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + 17, nullptr, 10);
  }

  static const char* Reason(int status) {
    switch (status) {
      case 200: return "OK";
      case 301: return "Moved Permanently";
      case 302: return "Found";
      case 404: return "Not Found";
      case 500: return "Internal Server Error";
      default: return "Status";
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::vector<std::thread> workers_;  // touched by the acceptor thread only until it is joined
  mutable std::mutex mutex_;
  std::map<std::string, Answer> answers_;
  std::vector<std::string> requests_;
  std::vector<std::string> bodies_;
};

}  // namespace cantrel_test
