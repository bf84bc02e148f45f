// A small HTTP server that serves a directory tree the way the download servers do
// (GET with Range, persistent HTTP/1.1 connections) and can be told to misbehave:
// refuse or reset connections, stall, ignore the Range header, send short or long
// bodies, error pages, wrong bytes, redirects, or trickle slowly. It records every
// request's path, agent string, Range header and connection.
//
// A fault that drops the connection without an answer (refuse, reset) applies only to
// the first request of a connection. A later request on a kept connection that such a
// rule matches finds the connection closed instead, unrecorded and without using up
// the rule, the way a server closes a connection that was idle: clients send that
// request again on a new connection, where the fault applies. So a rule hits each
// request the client makes once, however the client reuses its connections.
//
// Test tool for Linux; it runs in-process (tests) or as krdn-fault-server.
#pragma once

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace krdn::fault {

enum class Fault {
  kNone,
  kRefuse,              // the connection is reset before the request is read
  kReset,               // the request is read, then the connection is reset without an answer
  kResetMidBody,        // headers for the whole body, half of it, then a reset
  kStallBeforeHeaders,  // the request is read and nothing ever comes back
  kStallMidBody,        // headers and half the body, then nothing more
  kWholeBody,           // the whole file with status 200, whatever the Range header asks
  kShortBody,           // the range less its last byte, with a matching Content-Length
  kLongBody,            // the range and 16 bytes more, with a matching Content-Length
  kErrorPage,           // an HTML error page (status from the rule) of 300 bytes
  kWrongDigest,         // the right length, the first byte changed
  kTrickle,             // the right answer, sent slowly (rule's bytes per second)
  kRedirect,            // a redirect (rule's redirect status) to the rule's location prefix + the request's path
};

// Parses a fault name as the command line writes it ("reset", "stall-mid-body", ...).
std::optional<Fault> FaultFromName(const std::string& name);
std::string FaultName(Fault fault);

struct FaultRule {
  std::string path_prefix;  // applies to request paths starting with it; empty: every path
  std::string range{};      // applies only to requests with this Range value ("bytes=0-99"); empty: any
  Fault fault = Fault::kNone;
  int times = -1;           // how many matching requests it applies to; -1: all of them
  int status = 404;         // for kErrorPage
  std::size_t bytes_per_second = 64 * 1024;  // for kTrickle
  int redirect_status = 302;                 // for kRedirect
  std::string location_prefix{};             // for kRedirect: empty redirects a path to itself (a loop)
};

struct RequestRecord {
  std::string path;  // decoded request path
  std::string user_agent;
  std::string range;  // the Range header's value, empty when none was sent
  Fault fault = Fault::kNone;
  std::size_t body_bytes_sent = 0;  // updated while the answer is sent
  std::uint64_t connection = 0;     // the connection it came on, numbered from 1 in accept order
  int on_connection = 0;            // its place among that connection's requests, from 0
};

struct RequestHead;  // a parsed request, the server's own

class FaultServer {
 public:
  // Serves root on 127.0.0.1; port 0 picks a free port.
  explicit FaultServer(std::filesystem::path root, std::uint16_t port = 0);
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  std::uint16_t port() const { return port_; }
  std::string url() const;  // "http://127.0.0.1:<port>"

  // Rules are tried in the order added; the first that matches and has uses left applies.
  void AddRule(const FaultRule& rule);
  void ClearRules();

  std::vector<RequestRecord> requests() const;
  void ClearRequests();
  // Waits until at least count requests were recorded and the last one has sent at
  // least body_bytes; false on timeout.
  bool WaitFor(std::size_t count, std::size_t body_bytes, std::chrono::milliseconds timeout) const;

  // Called with each request as it arrives (for a log on standard output).
  void OnRequest(std::function<void(const RequestRecord&)> callback);

 private:
  void AcceptLoop();
  void Serve(int client, std::uint64_t connection);
  // Sends the answer of one request; false when the connection cannot go on.
  bool Answer(int client, const RequestHead& request, Fault fault, const FaultRule& rule, std::size_t index);
  // The fault for a request, using up the rule; nothing when a connection-dropping rule
  // matches a request that is not the first of its connection (the connection is closed).
  std::optional<Fault> TakeFault(const std::string& path, const std::string& range, bool first_on_connection,
                                 FaultRule& applied);
  std::size_t Record(const RequestRecord& record);
  void AddSent(std::size_t index, std::size_t bytes);
  bool Stopping() const { return stopping_.load(); }

  std::filesystem::path root_;
  int listener_ = -1;
  int wake_ = -1;  // eventfd that wakes every wait when the server stops
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<FaultRule> rules_;
  std::vector<RequestRecord> requests_;
  std::function<void(const RequestRecord&)> on_request_;
  std::vector<std::thread> connections_;
  std::uint64_t accepted_ = 0;
  std::thread acceptor_;
};

}  // namespace krdn::fault
