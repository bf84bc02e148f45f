// krdn-fault-server: serves a publisher tree on loopback and misbehaves on request.
//
//   krdn-fault-server --root DIR [--port N] [--fault NAME[@PATH_PREFIX][*TIMES]]...
//
// Prints its URL on the first line, then one line per request: path, agent string,
// Range header, the fault applied and the connection's number, tab-separated. A
// redirect fault sends the request's path back to itself (a loop). Runs until
// interrupted.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "tools/fault-server/fault_server.h"

namespace {

int Usage() {
  std::cerr << "usage: krdn-fault-server --root DIR [--port N] [--fault NAME[@PATH_PREFIX][*TIMES]]...\n"
               "faults: none refuse reset reset-mid-body stall-before-headers stall-mid-body whole-body\n"
               "        short-body long-body error-page wrong-digest trickle redirect\n";
  return 2;
}

std::optional<krdn::fault::FaultRule> ParseRule(std::string text) {
  krdn::fault::FaultRule rule;
  if (const std::size_t star = text.find('*'); star != std::string::npos) {
    try {
      rule.times = std::stoi(text.substr(star + 1));
    } catch (const std::exception&) {
      return std::nullopt;
    }
    text.resize(star);
  }
  if (const std::size_t at = text.find('@'); at != std::string::npos) {
    rule.path_prefix = text.substr(at + 1);
    text.resize(at);
  }
  const auto fault = krdn::fault::FaultFromName(text);
  if (!fault) return std::nullopt;
  rule.fault = *fault;
  return rule;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  int port = 0;
  std::vector<krdn::fault::FaultRule> rules;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    if (arg == "--root") {
      root = value;
    } else if (arg == "--port") {
      try {
        port = std::stoi(value);
      } catch (const std::exception&) {
        return Usage();
      }
      if (port < 0 || port > 65535) return Usage();
    } else if (arg == "--fault") {
      const auto rule = ParseRule(value);
      if (!rule) return Usage();
      rules.push_back(*rule);
    } else {
      return Usage();
    }
  }
  if (root.empty()) return Usage();

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the server's threads inherit the mask

  try {
    krdn::fault::FaultServer server(root, static_cast<std::uint16_t>(port));
    for (const auto& rule : rules) server.AddRule(rule);
    server.OnRequest([](const krdn::fault::RequestRecord& record) {
      std::printf("%s\t%s\t%s\t%s\t%llu\n", record.path.c_str(), record.user_agent.c_str(), record.range.c_str(),
                  krdn::fault::FaultName(record.fault).c_str(), static_cast<unsigned long long>(record.connection));
      std::fflush(stdout);
    });
    std::printf("%s\n", server.url().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
  } catch (const std::exception& error) {
    std::cerr << "krdn-fault-server: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
