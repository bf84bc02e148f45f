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

#include "tools/fault-server/fault_rules.h"

namespace krdn::fault {

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
