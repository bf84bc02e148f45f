// What the fault server can be told to do and what it records, and their one-line text
// form (space-separated key=value words) for its control port. Shared by the server, a
// Linux program, and the tests that steer it from any platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
  kLongRedirect,        // that redirect with a page of its own of 1 MiB, sent at the rule's bytes per second
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
  std::size_t bytes_per_second = 64 * 1024;  // for kTrickle and kLongRedirect
  int redirect_status = 302;                 // for kRedirect and kLongRedirect
  std::string location_prefix{};             // for both: empty redirects a path to itself (a loop)
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

std::string RuleText(const FaultRule& rule);
std::optional<FaultRule> ParseRuleText(std::string_view text);
std::string RecordText(const RequestRecord& record);
std::optional<RequestRecord> ParseRecordText(std::string_view text);

}  // namespace krdn::fault
