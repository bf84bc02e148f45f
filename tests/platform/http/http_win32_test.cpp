// The WinInet session against a server that accepts and then says nothing: the limits
// fail the transfer and an abort ends it at once, whatever WinInet's blocked call does.
#include "platform/http/http.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Listens on a loopback port, reads what comes and answers with `reply` (maybe nothing)
// and then keeps the connection open without a word until it is destroyed.
class SilentServer {
 public:
  explicit SilentServer(std::string reply = {}) : reply_(std::move(reply)) {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    int size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ::ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~SilentServer() {
    stopping_ = true;
    ::closesocket(listener_);
    acceptor_.join();
    for (const SOCKET client : clients_) ::closesocket(client);
    ::WSACleanup();
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/krdn/file.bin"; }

 private:
  void Accept() {
    while (!stopping_) {
      const SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      char request[4096];
      ::recv(client, request, sizeof request, 0);
      if (!reply_.empty()) ::send(client, reply_.data(), static_cast<int>(reply_.size()), 0);
      clients_.push_back(client);
    }
  }

  std::string reply_;
  SOCKET listener_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::vector<SOCKET> clients_;
  std::thread acceptor_;
};

class Count final : public HttpReceiver {
 public:
  bool OnBody(std::span<const std::uint8_t> block) override {
    bytes += block.size();
    return true;
  }
  std::atomic<std::size_t> bytes{0};
};

HttpRequest Quick(const std::string& url) {
  HttpRequest request{.url = url, .user_agent = "VoRepair_stall", .range = std::nullopt};
  request.limits.connect_timeout = 300ms;
  request.limits.stall_timeout = 300ms;
  return request;
}

TEST(WinInetLimits, NoAnswerAtAllFailsWithinTheLimits) {
  SilentServer server;
  HttpSession session;
  Count body;
  const auto start = Clock::now();
  const HttpResult result = session.Get(Quick(server.url()), body);
  EXPECT_EQ(result.outcome, HttpOutcome::kFailed);
  EXPECT_LT(Clock::now() - start, 5s);
}

TEST(WinInetLimits, AnAnswerThatStopsMidBodyFails) {
  SilentServer server("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nthe first bytes");
  HttpSession session;
  Count body;
  const auto start = Clock::now();
  const HttpResult result = session.Get(Quick(server.url()), body);
  EXPECT_EQ(result.outcome, HttpOutcome::kFailed);
  EXPECT_EQ(result.status, 200);
  EXPECT_LT(Clock::now() - start, 5s);
}

TEST(WinInetLimits, AbortEndsATransferThatWaitsForHeadersAtOnce) {
  SilentServer server;
  HttpSession session;
  Count body;
  HttpRequest patient{.url = server.url(), .user_agent = "VoRepair_stall", .range = std::nullopt};  // limits of half a minute
  HttpTransfer transfer = session.Start(patient, body);
  std::this_thread::sleep_for(200ms);
  const auto start = Clock::now();
  transfer.Abort();
  EXPECT_EQ(transfer.Wait().outcome, HttpOutcome::kCancelled);
  EXPECT_LT(Clock::now() - start, 2s);

  // The waiter's no, and the end of the session, are as quick.
  HttpTransfer second = session.Start(patient, body);
  const auto asked = Clock::now();
  EXPECT_EQ(second.Wait([] { return false; }, 50ms).outcome, HttpOutcome::kCancelled);
  EXPECT_LT(Clock::now() - asked, 2s);
  HttpTransfer third = session.Start(patient, body);
  std::this_thread::sleep_for(100ms);
  const auto ending = Clock::now();
  session.Abort();
  EXPECT_EQ(third.Wait().outcome, HttpOutcome::kCancelled);
  EXPECT_LT(Clock::now() - ending, 2s);
  EXPECT_EQ(body.bytes, 0u);
}

// WinInet cannot trust the authorities of one file only: such a session refuses https
// instead of trusting the whole system store, and nothing is sent.
TEST(WinInetLimits, ASessionWithItsOwnCaFileRefusesHttps) {
  SilentServer server;
  HttpSessionOptions options;
  options.ca_file = "C:\\ca.pem";
  HttpSession session(options);
  Count body;
  std::string url = server.url();
  url.replace(0, 4, "https");
  const HttpResult result = session.Get(Quick(url), body);
  EXPECT_EQ(result.outcome, HttpOutcome::kFailed);
  EXPECT_NE(result.error.find("CA file"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace platform
