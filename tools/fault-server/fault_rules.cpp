#include "tools/fault-server/fault_rules.h"

#include <array>
#include <charconv>
#include <map>

namespace krdn::fault {
namespace {

struct Name {
  Fault fault;
  const char* name;
};
constexpr std::array kNames = {
    Name{Fault::kNone, "none"},
    Name{Fault::kRefuse, "refuse"},
    Name{Fault::kReset, "reset"},
    Name{Fault::kResetMidBody, "reset-mid-body"},
    Name{Fault::kStallBeforeHeaders, "stall-before-headers"},
    Name{Fault::kStallMidBody, "stall-mid-body"},
    Name{Fault::kWholeBody, "whole-body"},
    Name{Fault::kShortBody, "short-body"},
    Name{Fault::kLongBody, "long-body"},
    Name{Fault::kErrorPage, "error-page"},
    Name{Fault::kWrongDigest, "wrong-digest"},
    Name{Fault::kTrickle, "trickle"},
    Name{Fault::kRedirect, "redirect"},
    Name{Fault::kLongRedirect, "long-redirect"},
};

// A value as one word: bytes that would end it, and "%", as %XX.
std::string Escaped(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == '%' || byte == 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescaped(std::string_view word) {
  std::string out;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      out += word[i];
      continue;
    }
    unsigned value = 0;
    if (i + 2 >= word.size()) return std::nullopt;
    const auto [end, error] = std::from_chars(word.data() + i + 1, word.data() + i + 3, value, 16);
    if (error != std::errc() || end != word.data() + i + 3) return std::nullopt;
    out += static_cast<char>(value);
    i += 2;
  }
  return out;
}

using Fields = std::map<std::string, std::string, std::less<>>;

std::optional<Fields> ParseFields(std::string_view text) {
  Fields fields;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (word.empty()) continue;
    const std::size_t equals = word.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    auto value = Unescaped(word.substr(equals + 1));
    if (!value) return std::nullopt;
    fields[std::string(word.substr(0, equals))] = std::move(*value);
  }
  return fields;
}

template <typename Number>
bool ReadNumber(const Fields& fields, std::string_view key, Number& number) {
  const auto it = fields.find(key);
  if (it == fields.end()) return true;  // the default stands
  const auto [end, error] = std::from_chars(it->second.data(), it->second.data() + it->second.size(), number);
  return error == std::errc() && end == it->second.data() + it->second.size();
}

std::string Field(const Fields& fields, std::string_view key) {
  const auto it = fields.find(key);
  return it == fields.end() ? std::string() : it->second;
}

}  // namespace

std::optional<Fault> FaultFromName(const std::string& name) {
  for (const Name& entry : kNames) {
    if (name == entry.name) return entry.fault;
  }
  return std::nullopt;
}

std::string FaultName(Fault fault) {
  for (const Name& entry : kNames) {
    if (fault == entry.fault) return entry.name;
  }
  return "?";
}

std::string RuleText(const FaultRule& rule) {
  return "path=" + Escaped(rule.path_prefix) + " range=" + Escaped(rule.range) + " fault=" + FaultName(rule.fault) +
         " times=" + std::to_string(rule.times) + " status=" + std::to_string(rule.status) +
         " rate=" + std::to_string(rule.bytes_per_second) + " redirect=" + std::to_string(rule.redirect_status) +
         " location=" + Escaped(rule.location_prefix);
}

std::optional<FaultRule> ParseRuleText(std::string_view text) {
  const auto fields = ParseFields(text);
  if (!fields) return std::nullopt;
  FaultRule rule{.path_prefix = Field(*fields, "path"), .range = Field(*fields, "range"),
                 .location_prefix = Field(*fields, "location")};
  const auto fault = FaultFromName(Field(*fields, "fault"));
  if (!fault || !ReadNumber(*fields, "times", rule.times) || !ReadNumber(*fields, "status", rule.status) ||
      !ReadNumber(*fields, "rate", rule.bytes_per_second) || !ReadNumber(*fields, "redirect", rule.redirect_status)) {
    return std::nullopt;
  }
  rule.fault = *fault;
  return rule;
}

std::string RecordText(const RequestRecord& record) {
  return "path=" + Escaped(record.path) + " agent=" + Escaped(record.user_agent) + " range=" + Escaped(record.range) +
         " fault=" + FaultName(record.fault) + " sent=" + std::to_string(record.body_bytes_sent) +
         " connection=" + std::to_string(record.connection) + " on_connection=" + std::to_string(record.on_connection);
}

std::optional<RequestRecord> ParseRecordText(std::string_view text) {
  const auto fields = ParseFields(text);
  if (!fields) return std::nullopt;
  RequestRecord record{.path = Field(*fields, "path"), .user_agent = Field(*fields, "agent"),
                       .range = Field(*fields, "range")};
  const auto fault = FaultFromName(Field(*fields, "fault"));
  if (!fault || !ReadNumber(*fields, "sent", record.body_bytes_sent) ||
      !ReadNumber(*fields, "connection", record.connection) ||
      !ReadNumber(*fields, "on_connection", record.on_connection)) {
    return std::nullopt;
  }
  record.fault = *fault;
  return record;
}

}  // namespace krdn::fault
