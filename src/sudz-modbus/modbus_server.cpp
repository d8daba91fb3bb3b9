#include "sudz-modbus/modbus_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sudz-modbus/area_link.h"
#include "sudz-modbus/modbus_request.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kHeaderLength = 7;      // MBAP header, unit id included
constexpr int kMaxLengthField = 254;  // unit id + the largest PDU (253)
constexpr auto kFrameTimeout = milliseconds(2000);
constexpr auto kIdleTimeout = milliseconds(60000);
constexpr int kTickMs = 100;

int word(const uint8_t* p) {
  return (p[0] << 8) | p[1];
}

std::string address_text(const sockaddr_storage& a) {
  char host[NI_MAXHOST], port[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&a), sizeof a, host, sizeof host, port,
                  sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return "?";
  }
  return a.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                 : std::string(host) + ":" + port;
}

std::string peer_of(int fd) {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  return getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0 ? address_text(a) : "?";
}

void log_line(const std::string& text) {
  std::fprintf(stderr, "sudz-modbus: %s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace

modbus_server::modbus_server(area_link& area, const register_map& map,
                             const bridge_options& options)
    : area_(area), map_(map), options_(options) {}

modbus_server::~modbus_server() {
  for (connection& c : connections_) close(c.fd);
  if (listen_fd_ >= 0) close(listen_fd_);
  if (mapping_ != nullptr) modbus_mapping_free(mapping_);
  if (ctx_ != nullptr) modbus_free(ctx_);
}

bool modbus_server::listen(std::string* error) {
  const std::string where = options_.listen + " port " + std::to_string(options_.port);
  // libmodbus reports a bad address as a refused connection: check it first.
  addrinfo hints{};
  hints.ai_flags = AI_PASSIVE;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(options_.listen.c_str(), nullptr, &hints, &found);
  if (rc != 0) {
    *error = "bad listen address " + options_.listen + ": " + gai_strerror(rc);
    return false;
  }
  freeaddrinfo(found);
  ctx_ = modbus_new_tcp_pi(options_.listen.c_str(), std::to_string(options_.port).c_str());
  mapping_ = map_.new_mapping();
  if (ctx_ == nullptr || mapping_ == nullptr) {
    *error = std::string("cannot set up libmodbus: ") + modbus_strerror(errno);
    return false;
  }
  listen_fd_ = modbus_tcp_pi_listen(ctx_, 16);
  if (listen_fd_ < 0) {
    *error = "cannot listen on " + where + ": " + std::strerror(errno);
    return false;
  }
  fcntl(listen_fd_, F_SETFL, fcntl(listen_fd_, F_GETFL) | O_NONBLOCK);
  fcntl(listen_fd_, F_SETFD, FD_CLOEXEC);
  return true;
}

std::string modbus_server::where() const {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  if (getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) return "?";
  return address_text(a);
}

void modbus_server::run() {
  std::vector<pollfd> fds;
  for (;;) {
    fds.clear();
    fds.push_back({area_.end_fd(), POLLIN, 0});
    fds.push_back({listen_fd_, POLLIN, 0});
    for (const connection& c : connections_) fds.push_back({c.fd, POLLIN, 0});
    int timeout = kTickMs;
    if (watchdog_armed_) {
      const auto left = std::chrono::duration_cast<milliseconds>(
          last_write_ + milliseconds(options_.watchdog_ms) - steady_clock::now());
      timeout = std::max(0, std::min<int>(timeout, static_cast<int>(left.count()) + 1));
    }
    if (poll(fds.data(), fds.size(), timeout) < 0) {
      if (errno == EINTR) continue;  // a signal: end_fd tells whether to stop
      break;
    }
    if (fds[0].revents != 0) break;
    // Connections first, by index from the end, so closing one keeps the
    // indices of those not yet looked at; new clients join afterwards.
    for (size_t k = fds.size(); k-- > 2;) {
      const size_t index = k - 2;
      if (fds[k].revents == 0) continue;
      if (const char* why = read_from(connections_[index])) close_connection(index, why);
    }
    if (fds[1].revents != 0) accept_clients();
    check_timers();
  }
  while (!connections_.empty()) close_connection(connections_.size() - 1, nullptr);
}

void modbus_server::accept_clients() {
  for (;;) {
    int fd = modbus_tcp_pi_accept(ctx_, &listen_fd_);
    if (fd < 0) return;  // nothing more pending (or it left before accept)
    const std::string peer = peer_of(fd);
    if (static_cast<int>(connections_.size()) >= options_.max_clients) {
      log_line("client " + peer + " refused: already " + std::to_string(connections_.size()) +
               " clients");
      close(fd);
      continue;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const auto now = steady_clock::now();
    connections_.push_back({fd, peer, {}, now, now});
    log_line("client " + peer + " connected");
  }
}

const char* modbus_server::read_from(connection& c) {
  // One read per wake-up: a client that never stops sending cannot keep the
  // loop from the others (poll reports what is left next time).
  uint8_t chunk[1024];
  const ssize_t got = recv(c.fd, chunk, sizeof chunk, 0);
  if (got == 0) return "disconnected";
  if (got < 0) {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? nullptr : "read failed";
  }
  if (c.buffer.empty()) c.frame_start = steady_clock::now();
  c.buffer.insert(c.buffer.end(), chunk, chunk + got);
  // Answer every whole frame gathered so far.
  size_t used = 0;
  while (c.buffer.size() - used >= kHeaderLength) {
    const uint8_t* frame = c.buffer.data() + used;
    const int length = word(frame + 4);
    if (word(frame + 2) != 0 || length < 2 || length > kMaxLengthField) {
      return "not a Modbus TCP header";
    }
    if (c.buffer.size() - used < static_cast<size_t>(6 + length)) break;
    if (!answer(c, frame, 6 + length)) return "reply not sent";
    used += 6 + length;
  }
  c.buffer.erase(c.buffer.begin(), c.buffer.begin() + used);
  if (used > 0 && !c.buffer.empty()) c.frame_start = steady_clock::now();
  return nullptr;
}

bool modbus_server::answer(connection& c, const uint8_t* frame, int length) {
  c.last_request = steady_clock::now();
  modbus_set_socket(ctx_, c.fd);
  bool wrote = false;
  const bool sent =
      answer_request(ctx_, mapping_, map_, area_, options_.unit, frame, length, &wrote);
  if (wrote) {
    last_write_ = steady_clock::now();
    watchdog_armed_ = options_.watchdog_ms > 0;
  }
  return sent;
}

void modbus_server::close_connection(size_t index, const char* why) {
  const connection& c = connections_[index];
  if (why != nullptr) log_line("client " + c.peer + " closed: " + why);
  close(c.fd);
  connections_.erase(connections_.begin() + index);
}

void modbus_server::check_timers() {
  const auto now = steady_clock::now();
  for (size_t k = connections_.size(); k-- > 0;) {
    const connection& c = connections_[k];
    if (!c.buffer.empty() && now - c.frame_start > kFrameTimeout) {
      close_connection(k, "frame left incomplete");
    } else if (now - c.last_request > kIdleTimeout) {
      close_connection(k, "no request for 60 s");
    }
  }
  if (watchdog_armed_ && now - last_write_ >= milliseconds(options_.watchdog_ms)) {
    area_.zero_outputs();
    watchdog_armed_ = false;
    log_line("watchdog: no write request for " + std::to_string(options_.watchdog_ms) +
             " ms, every output set to 0");
  }
}
