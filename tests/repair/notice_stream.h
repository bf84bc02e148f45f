// The whole stream of notifications of a run, for a good server and for every fault
// of the fault server (refused and reset connections, stalls, drips, redirect loops,
// whole bodies for a Range, short and long bodies, error pages, wrong digests, a
// version file and a manifest that fail, local files that cannot be read or written),
// with a scripted answer to every retry question. A stream is compared line by line
// with the one recorded in tests/repair/data/streams/<scenario>.txt, so that a change
// of the engine's plumbing or of the window's side of it shows every notification it
// adds, drops, reorders or rewords. The engine's tests hear the run through the
// engine's own calls, the window's tests through the window messages the window gets;
// both name what they hear in the same words and meet the same recorded streams.
//
// KRDN_RECORD_STREAMS=DIR writes the streams to DIR instead of comparing them.
//
// One line per notification, in the order sent; texts are quoted with \r, \n, \" and
// \\ escaped:
//   progress 33                          the progress bar
//   status "..."                         a text appended to the status box
//   transient "..."                      a transient line
//   end  /  end "..."                    the run-ended notice, without or with its text
//   question unstable|network-failure "..." -> go on|end the run
//                                        a retry question, its failure text, the answer
//   succeeded "..."                      the success dialog, with the last status text
//   sleep N                              a wait of the retry protocol (N seconds)
// The byte counts a fetch sends while it lasts depend on the clock: only the first,
// "下载数据：(0/N)", is kept, once per fetch.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/repair/engine_fixture.h"
#include "transfer/digest.h"

namespace krdn::testing {

inline std::string Quoted(const std::u16string& text) {
  std::string out = "\"";
  for (const char c : platform::Utf16ToUtf8(text)) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

// The lines of one run's stream, from the worker thread and the retry protocol's sleeps.
class StreamLog {
 public:
  // end_at: the retry question answered "end the run" (from 1; 0 never).
  explicit StreamLog(std::size_t end_at = 0) : end_at_(end_at) {}

  void Progress(long percent) { Line("progress " + std::to_string(percent)); }
  void Status(const std::u16string& text) { Line("status " + Quoted(text)); }
  void Ended(const std::optional<std::u16string>& text) { Line(text ? "end " + Quoted(*text) : std::string("end")); }
  void Succeeded(const std::u16string& text) { Line("succeeded " + Quoted(text)); }
  void Slept(int seconds) { Line("sleep " + std::to_string(seconds)); }

  void Transient(const std::u16string& text) {
    if (text.rfind(u"下载数据：(", 0) == 0) {
      std::lock_guard lock(mutex_);
      // A fetch that waits for its first byte repeats its first count.
      if (text.rfind(u"下载数据：(0/", 0) != 0 || (!lines_.empty() && lines_.back() == "transient " + Quoted(text))) {
        return;
      }
    }
    Line("transient " + Quoted(text));
  }

  // A retry question; true when the script answers it with "end the run".
  bool Question(bool unstable, const std::u16string& text) {
    std::lock_guard lock(mutex_);
    const bool end_run = ++questions_ == end_at_;
    lines_.push_back(std::string("question ") + (unstable ? "unstable " : "network-failure ") + Quoted(text) +
                     (end_run ? " -> end the run" : " -> go on"));
    return end_run;
  }

  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  void Line(std::string line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
  }

  const std::size_t end_at_;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::size_t questions_ = 0;
};

// The client of every scenario, published, and the fault server; a scenario arranges
// the server's rules, the install directory and the settings.
class StreamBench : public EngineTest {
 public:
  using EngineTest::install;
  using EngineTest::InstallCopy;
  using EngineTest::Publish;
  using EngineTest::root;
  using EngineTest::server;
  using EngineTest::settings;

  void SetUp() override {
    EngineTest::SetUp();
    settings.stall_timeout = std::chrono::milliseconds(1000);
    settings.connect_timeout = std::chrono::milliseconds(5000);
    AddClientFile("a.bin", PatternBytes(3000, 61));      // three pieces
    AddClientFile("sub/b.bin", PatternBytes(1500, 62));  // two pieces
    AddClientFile("empty.txt", std::vector<std::uint8_t>{});
    Publish("1.9.3", 0, 1024);
  }

  // The install holds every file but a.bin.
  void InstallAllButA() {
    InstallCopy();
    fs::remove(install / "a.bin");
  }

  void AddPieceRule(fault::Fault fault, int times, std::string range = "bytes=0-1023") {
    server->AddRule(fault::FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = std::move(range),
                                     .fault = fault, .times = times, .bytes_per_second = 20000});
  }

  // A manifest served with this text under a correct digest header.
  void ServeManifest(const std::string& text) {
    const std::string served = Md5Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) + text;
    WriteFile(root / "krdn/repair/1.9.3/1.9.3_download.txt", served);
  }
};

struct StreamScenario {
  std::string name;
  std::function<void(StreamBench&)> arrange;
  std::size_t end_at = 0;  // the question answered "end the run"; 0 never
};

const std::vector<StreamScenario>& StreamScenarios();

inline std::string ScenarioName(const ::testing::TestParamInfo<StreamScenario>& param) { return param.param.name; }

// Compares the stream with the recorded one (or records it, see above).
inline void ExpectRecordedStream(const std::string& scenario, const std::vector<std::string>& seen) {
  const std::string file = scenario + ".txt";
  if (const char* record_to = std::getenv("KRDN_RECORD_STREAMS")) {
    fs::create_directories(record_to);
    std::ofstream out(fs::path(record_to) / file, std::ios::binary | std::ios::trunc);
    for (const std::string& line : seen) out << line << "\n";
    ASSERT_TRUE(out.good());
    return;
  }
  std::vector<std::string> recorded;
  std::ifstream in(fs::path(KRDN_SOURCE_DIR) / "tests/repair/data/streams" / file);
  for (std::string line; std::getline(in, line);) recorded.push_back(line);
  ASSERT_FALSE(recorded.empty()) << "no recorded stream " << file;
  std::size_t at = 0;
  while (at < seen.size() && at < recorded.size() && seen[at] == recorded[at]) ++at;
  const auto show = [](const std::vector<std::string>& lines, std::size_t i) {
    return i < lines.size() ? lines[i] : std::string("(the end)");
  };
  std::ostringstream difference;
  difference << "first difference at line " << at + 1 << ":";
  for (std::size_t i = at; i < at + 3; ++i) {
    difference << "\n  seen:     " << show(seen, i) << "\n  recorded: " << show(recorded, i);
  }
  EXPECT_EQ(seen, recorded) << difference.str();
}

}  // namespace krdn::testing
