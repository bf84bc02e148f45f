#include "tools/fault-server/control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>

namespace krdn::fault {
namespace {

constexpr std::size_t kMaxCommand = 64 * 1024;

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool SendAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Reads up to the first line end (without it), or to the peer's end when `line` is false.
std::string Receive(int fd, bool line) {
  std::string text;
  char chunk[4096];
  while (text.size() < kMaxCommand) {
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
    if (line && text.find('\n') != std::string::npos) return text.substr(0, text.find('\n'));
  }
  return text;
}

}  // namespace

ControlPort::ControlPort(FaultServer& server) : server_(server) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0) {
    if (listener_ >= 0) ::close(listener_);
    throw std::runtime_error("fault server: no control port");
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ControlPort::~ControlPort() {
  ::shutdown(listener_, SHUT_RDWR);  // wakes the accept
  acceptor_.join();
  ::close(listener_);
}

void ControlPort::WaitForStop(std::chrono::seconds limit) {
  std::unique_lock lock(mutex_);
  stopped_.wait_for(lock, limit, [this] { return stop_; });
}

// Commands are answered one after the other: a test steers its server from one thread.
void ControlPort::AcceptLoop() {
  for (;;) {
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    SendAll(client, Answer(Receive(client, true)));
    ::close(client);
  }
}

std::string ControlPort::Answer(const std::string& command) {
  std::istringstream words(command);
  std::string verb;
  words >> verb;
  const std::string rest = command.size() > verb.size() ? command.substr(verb.size() + 1) : std::string();
  if (verb == "add-rule") {
    const auto rule = ParseRuleText(rest);
    if (!rule) return "error: bad rule\n";
    server_.AddRule(*rule);
  } else if (verb == "clear-rules") {
    server_.ClearRules();
  } else if (verb == "clear-requests") {
    server_.ClearRequests();
  } else if (verb == "requests") {
    std::string lines;
    for (const RequestRecord& record : server_.requests()) lines += RecordText(record) + "\n";
    return lines;
  } else if (verb == "wait") {
    std::size_t count = 0, bytes = 0;
    long long milliseconds = 0;
    if (!(words >> count >> bytes >> milliseconds)) return "error: bad wait\n";
    return server_.WaitFor(count, bytes, std::chrono::milliseconds(milliseconds)) ? "yes\n" : "no\n";
  } else if (verb == "stop") {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    stopped_.notify_all();
  } else {
    return "error: unknown command\n";
  }
  return "ok\n";
}

std::optional<std::string> AskControlPort(std::uint16_t port, const std::string& command) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  const sockaddr_in address = Loopback(port);
  std::optional<std::string> reply;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && SendAll(fd, command + "\n")) {
    ::shutdown(fd, SHUT_WR);
    reply = Receive(fd, false);
  }
  ::close(fd);
  return reply;
}

}  // namespace krdn::fault
