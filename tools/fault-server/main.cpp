// krdn-fault-server: serves a publisher tree on loopback and misbehaves on request.
//
//   krdn-fault-server --root DIR [--port N] [--fault NAME[@PATH_PREFIX][*TIMES]]...
//
// Prints its URL on the first line, then one line per request: path, agent string,
// Range header, the fault applied and the connection's number, tab-separated. A
// redirect fault sends the request's path back to itself (a loop). Runs until
// interrupted.
//
//   krdn-fault-server start --root DIR [--lifetime SECONDS]
//   krdn-fault-server control PORT COMMAND...
//
// start serves in the background, steered through a control port (control.h), and
// prints "url=URL control=PORT" once it serves. It ends on the control command "stop",
// and by itself after its lifetime (default 900 s), so that a test that died leaves
// nothing running for long. control sends one command and prints the reply.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "tools/fault-server/control.h"
#include "tools/fault-server/fault_server.h"

namespace {

int Usage() {
  std::cerr << "usage: krdn-fault-server --root DIR [--port N] [--fault NAME[@PATH_PREFIX][*TIMES]]...\n"
               "       krdn-fault-server start --root DIR [--lifetime SECONDS]\n"
               "       krdn-fault-server control PORT COMMAND...\n"
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

// The background server's side of start: serves until stopped, having told `ready` its
// address.
int ServeInBackground(const std::string& root, std::chrono::seconds lifetime, int ready) {
  ::setsid();
  const int null = ::open("/dev/null", O_RDWR);
  for (const int fd : {0, 1, 2}) ::dup2(null, fd);  // the caller reads our output to its end
  ::close(null);
  try {
    krdn::fault::FaultServer server(root);
    krdn::fault::ControlPort control(server);
    const std::string line = "url=" + server.url() + " control=" + std::to_string(control.port()) + "\n";
    (void)!::write(ready, line.data(), line.size());
    ::close(ready);
    control.WaitForStop(lifetime);
  } catch (const std::exception&) {
    return 1;
  }
  return 0;
}

int Start(int argc, char** argv) {
  std::string root;
  long lifetime = 900;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--root") root = argv[i + 1];
    else if (arg == "--lifetime") lifetime = std::strtol(argv[i + 1], nullptr, 10);
    else return Usage();
  }
  if (root.empty() || lifetime <= 0 || argc % 2 != 0) return Usage();
  int ready[2];
  if (::pipe(ready) != 0) return 1;
  const pid_t child = ::fork();
  if (child < 0) return 1;
  if (child == 0) {
    ::close(ready[0]);
    std::_Exit(ServeInBackground(root, std::chrono::seconds(lifetime), ready[1]));
  }
  ::close(ready[1]);
  std::string line;
  char c = 0;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(ready[0]);
  if (line.empty()) {
    std::cerr << "krdn-fault-server: the server did not start\n";
    return 1;
  }
  std::printf("%s\n", line.c_str());
  return 0;
}

int Control(int argc, char** argv) {
  if (argc < 4) return Usage();
  const long port = std::strtol(argv[2], nullptr, 10);
  if (port <= 0 || port > 65535) return Usage();
  std::string command;
  for (int i = 3; i < argc; ++i) command += (i > 3 ? " " : "") + std::string(argv[i]);
  const auto reply = krdn::fault::AskControlPort(static_cast<std::uint16_t>(port), command);
  if (!reply) {
    std::cerr << "krdn-fault-server: no server on control port " << port << "\n";
    return 1;
  }
  std::fwrite(reply->data(), 1, reply->size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "start") return Start(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "control") return Control(argc, argv);
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
