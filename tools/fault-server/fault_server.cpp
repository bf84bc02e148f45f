#include "tools/fault-server/fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace krdn::fault {

struct RequestHead {
  std::string path;
  std::string user_agent;
  std::string range;
  bool close = false;  // the client asked to close the connection after the answer
};

namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string Trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::string DecodePath(const std::string& raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '%' && i + 2 < raw.size() && std::isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(raw[i]);
    }
  }
  return out.substr(0, out.find('?'));
}


// Reads the next request head of a connection (bytes after it stay in buffer); nothing
// when the client closed first or the server stops.
std::optional<RequestHead> ReadRequest(int fd, int wake, std::string& buffer) {
  std::array<char, 4096> chunk{};
  std::size_t end = buffer.find("\r\n\r\n");
  while (end == std::string::npos) {
    std::array<pollfd, 2> fds{pollfd{fd, POLLIN, 0}, pollfd{wake, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), -1) <= 0 || (fds[1].revents & POLLIN) != 0) return std::nullopt;
    const ssize_t got = ::recv(fd, chunk.data(), chunk.size(), 0);
    if (got <= 0 || buffer.size() > kMaxRequestHead) return std::nullopt;
    buffer.append(chunk.data(), static_cast<std::size_t>(got));
    end = buffer.find("\r\n\r\n");
  }
  const std::string head = buffer.substr(0, end + 2);
  buffer.erase(0, end + 4);
  RequestHead request;
  std::size_t line_end = head.find("\r\n");
  const std::string request_line = head.substr(0, line_end);
  const std::size_t first_space = request_line.find(' ');
  const std::size_t second_space = request_line.find(' ', first_space + 1);
  if (first_space == std::string::npos || second_space == std::string::npos) return std::nullopt;
  request.path = DecodePath(request_line.substr(first_space + 1, second_space - first_space - 1));
  request.close = request_line.substr(second_space + 1) != "HTTP/1.1";
  while (line_end + 2 < head.size()) {
    const std::size_t next = head.find("\r\n", line_end + 2);
    const std::string line = head.substr(line_end + 2, next - line_end - 2);
    line_end = next;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = Lower(line.substr(0, colon));
    const std::string value = Trim(line.substr(colon + 1));
    if (name == "user-agent") request.user_agent = value;
    if (name == "range") request.range = value;
    if (name == "connection") request.close = Lower(value) == "close";
  }
  return request;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(std::filesystem::file_size(path, error)), '\0');
  if (error || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
  return bytes;
}

// "bytes=a-b" or "bytes=a-" over a file of size; nothing when unsatisfiable or malformed.
std::optional<std::pair<std::size_t, std::size_t>> ParseRange(const std::string& range, std::size_t size) {
  if (range.rfind("bytes=", 0) != 0) return std::nullopt;
  const std::string spec = range.substr(6);
  const std::size_t dash = spec.find('-');
  if (dash == std::string::npos || dash == 0) return std::nullopt;
  try {
    const std::size_t first = std::stoull(spec.substr(0, dash));
    std::size_t last = dash + 1 < spec.size() ? std::stoull(spec.substr(dash + 1)) : size - 1;
    if (size == 0 || first >= size || last < first) return std::nullopt;
    last = std::min(last, size - 1);
    return std::make_pair(first, last);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

std::string Head(int status, std::size_t length, bool close, const std::string& extra = {}) {
  return "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) +
         "\r\nServer: krdn-fault-server\r\nContent-Length: " + std::to_string(length) + "\r\n" +
         (close ? "Connection: close\r\n" : "") + extra + "\r\n";
}

// Faults after which the connection cannot carry another answer.
bool EndsConnection(Fault fault) {
  return fault == Fault::kRefuse || fault == Fault::kReset || fault == Fault::kResetMidBody ||
         fault == Fault::kStallBeforeHeaders || fault == Fault::kStallMidBody;
}

std::string ErrorPage(int status) {
  std::string page = "<html><head><title>" + std::to_string(status) + " " + StatusText(status) +
                     "</title></head><body><h1>" + StatusText(status) + "</h1>";
  page.resize(300 - 14, ' ');
  return page + "</body></html>";
}

// Waits until the client goes away or the server stops, without reading further.
void HoldOpen(int fd, int wake) {
  std::array<char, 512> sink{};
  for (;;) {
    std::array<pollfd, 2> fds{pollfd{fd, POLLIN, 0}, pollfd{wake, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), -1) <= 0 || (fds[1].revents & POLLIN) != 0) return;
    if (::recv(fd, sink.data(), sink.size(), 0) <= 0) return;
  }
}

}  // namespace

FaultServer::FaultServer(std::filesystem::path root, std::uint16_t port) : root_(std::move(root)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  wake_ = ::eventfd(0, EFD_CLOEXEC);
  if (listener_ < 0 || wake_ < 0) throw std::runtime_error("fault server: no socket");
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 64) != 0) {
    ::close(listener_);
    ::close(wake_);
    throw std::runtime_error("fault server: cannot listen on port " + std::to_string(port));
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

FaultServer::~FaultServer() {
  stopping_.store(true);
  const std::uint64_t one = 1;
  (void)!::write(wake_, &one, sizeof one);
  acceptor_.join();
  for (std::thread& connection : connections_) connection.join();
  ::close(listener_);
  ::close(wake_);
}

std::string FaultServer::url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void FaultServer::AddRule(const FaultRule& rule) {
  std::lock_guard lock(mutex_);
  rules_.push_back(rule);
}

void FaultServer::ClearRules() {
  std::lock_guard lock(mutex_);
  rules_.clear();
}

std::vector<RequestRecord> FaultServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void FaultServer::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

bool FaultServer::WaitFor(std::size_t count, std::size_t body_bytes, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return requests_.size() >= count && requests_.back().body_bytes_sent >= body_bytes;
  });
}

void FaultServer::OnRequest(std::function<void(const RequestRecord&)> callback) {
  std::lock_guard lock(mutex_);
  on_request_ = std::move(callback);
}

void FaultServer::AcceptLoop() {
  for (;;) {
    std::array<pollfd, 2> fds{pollfd{listener_, POLLIN, 0}, pollfd{wake_, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
    if (Stopping()) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::lock_guard lock(mutex_);
    const std::uint64_t connection = ++accepted_;
    connections_.emplace_back([this, client, connection] { Serve(client, connection); });
  }
}

std::optional<Fault> FaultServer::TakeFault(const std::string& path, const std::string& range,
                                            bool first_on_connection, FaultRule& applied) {
  std::lock_guard lock(mutex_);
  for (FaultRule& rule : rules_) {
    if (rule.times == 0 || path.rfind(rule.path_prefix, 0) != 0) continue;
    if (!rule.range.empty() && rule.range != range) continue;
    const bool drops = rule.fault == Fault::kRefuse || rule.fault == Fault::kReset;
    if (drops && !first_on_connection) return std::nullopt;
    if (rule.times > 0) --rule.times;
    applied = rule;
    return rule.fault;
  }
  return Fault::kNone;
}

std::size_t FaultServer::Record(const RequestRecord& record) {
  std::function<void(const RequestRecord&)> callback;
  std::size_t index = 0;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(record);
    index = requests_.size() - 1;
    callback = on_request_;
  }
  changed_.notify_all();
  if (callback) callback(record);
  return index;
}

void FaultServer::AddSent(std::size_t index, std::size_t bytes) {
  {
    std::lock_guard lock(mutex_);
    if (index < requests_.size()) requests_[index].body_bytes_sent += bytes;
  }
  changed_.notify_all();
}

void FaultServer::Serve(int client, std::uint64_t connection) {
  std::string buffer;
  for (int on_connection = 0;; ++on_connection) {
    const std::optional<RequestHead> request = ReadRequest(client, wake_, buffer);
    if (!request) break;
    FaultRule rule;
    const std::optional<Fault> fault = TakeFault(request->path, request->range, on_connection == 0, rule);
    if (!fault) break;  // closed like an idle connection; the client asks again elsewhere
    const std::size_t index = Record(RequestRecord{.path = request->path,
                                                   .user_agent = request->user_agent,
                                                   .range = request->range,
                                                   .fault = *fault,
                                                   .connection = connection,
                                                   .on_connection = on_connection});
    if (!Answer(client, *request, *fault, rule, index) || request->close || EndsConnection(*fault)) break;
  }
  ::close(client);
}

bool FaultServer::Answer(int client, const RequestHead& request, Fault fault, const FaultRule& rule, std::size_t index) {
  // Every answer goes through here: a full send unless the client went away.
  auto send_all = [&](const std::string& data, bool body) {
    std::size_t done = 0;
    while (done < data.size() && !Stopping()) {
      const ssize_t put = ::send(client, data.data() + done, data.size() - done, MSG_NOSIGNAL);
      if (put <= 0) return false;
      done += static_cast<std::size_t>(put);
      if (body) AddSent(index, static_cast<std::size_t>(put));
    }
    return done == data.size();
  };
  auto page = [&](int status, const std::string& extra) {
    const std::string text = ErrorPage(status);
    return send_all(Head(status, text.size(), request.close, "Content-Type: text/html\r\n" + extra), false) &&
           send_all(text, true);
  };

  if (fault == Fault::kRefuse || fault == Fault::kReset) {
    const linger hard{.l_onoff = 1, .l_linger = 0};
    ::setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);  // the close resets
    return false;
  }
  if (fault == Fault::kStallBeforeHeaders) {
    HoldOpen(client, wake_);
    return false;
  }
  // Small slices at a steady pace, so a client sees many blocks arrive.
  auto trickle = [&](const std::string& body) {
    const std::size_t slice = std::max<std::size_t>(1, rule.bytes_per_second / 20);
    for (std::size_t at = 0; at < body.size(); at += slice) {
      if (Stopping() || !send_all(body.substr(at, slice), true)) return false;
      pollfd wait{wake_, POLLIN, 0};
      ::poll(&wait, 1, 50);
    }
    return true;
  };

  if (fault == Fault::kErrorPage) return page(rule.status, {});
  const std::string location = "Location: " + rule.location_prefix + request.path + "\r\n";
  if (fault == Fault::kRedirect) return page(rule.redirect_status, location);
  if (fault == Fault::kLongRedirect) {
    const std::string long_page(1 << 20, ' ');
    return send_all(Head(rule.redirect_status, long_page.size(), request.close, "Content-Type: text/html\r\n" + location),
                    false) &&
           trickle(long_page);
  }

  const bool unsafe = request.path.find("..") != std::string::npos;
  const std::optional<std::string> file = unsafe ? std::nullopt : ReadWholeFile(root_ / request.path.substr(1));
  if (!file) return page(404, {});
  int status = 200;
  std::string body = *file;
  std::string extra;
  if (!request.range.empty() && fault != Fault::kWholeBody) {
    const auto range = ParseRange(request.range, file->size());
    if (!range) return send_all(Head(416, 0, request.close, "Content-Range: bytes */" + std::to_string(file->size()) + "\r\n"), false);
    status = 206;
    body = file->substr(range->first, range->second - range->first + 1);
    extra = "Content-Range: bytes " + std::to_string(range->first) + "-" + std::to_string(range->second) + "/" +
            std::to_string(file->size()) + "\r\n";
  }
  if (fault == Fault::kShortBody && !body.empty()) body.pop_back();
  if (fault == Fault::kLongBody) body.append(16, 'L');
  if (fault == Fault::kWrongDigest && !body.empty()) body[0] = static_cast<char>(body[0] ^ 0x5A);

  if (!send_all(Head(status, body.size(), request.close, extra), false)) return false;
  if (fault == Fault::kResetMidBody || fault == Fault::kStallMidBody) {
    send_all(body.substr(0, body.size() / 2), true);
    if (fault == Fault::kResetMidBody) {
      const linger hard{.l_onoff = 1, .l_linger = 0};
      ::setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    } else {
      HoldOpen(client, wake_);
    }
    return false;
  }
  return fault == Fault::kTrickle ? trickle(body) : send_all(body, true);
}

}  // namespace krdn::fault
