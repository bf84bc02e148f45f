#include "tests/repair/notice_stream.h"

namespace krdn::testing {
namespace {

using fault::Fault;
using fault::FaultRule;
using namespace std::chrono_literals;

// A fault on the first piece of a.bin, `times` times in a row.
StreamScenario PieceFault(const std::string& name, Fault fault, int times, std::size_t end_at = 0) {
  return {"piece_" + name, [fault, times](StreamBench& s) {
            s.InstallAllButA();
            s.AddPieceRule(fault, times);
          },
          end_at};
}

StreamScenario VersionFault(const std::string& name, Fault fault, int times, std::size_t end_at = 0) {
  return {"version_" + name, [fault, times](StreamBench& s) {
            s.InstallAllButA();
            s.server->AddRule(FaultRule{.path_prefix = "/krdn/barternsav", .fault = fault, .times = times, .status = 503});
          },
          end_at};
}

StreamScenario ManifestFault(const std::string& name, Fault fault, int times, std::size_t end_at = 0) {
  return {"manifest_" + name, [fault, times](StreamBench& s) {
            s.InstallAllButA();
            s.server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/1.9.3_download", .fault = fault, .times = times});
          },
          end_at};
}

std::string DeadUrl() {
  // A port of a fault server that has closed again: nothing listens there.
  fault::FaultServer closed(fs::temp_directory_path());
  return closed.url();
}

}  // namespace

const std::vector<StreamScenario>& StreamScenarios() {
  static const std::vector<StreamScenario> scenarios = {
      // A good server.
      {"good_fresh_install", [](StreamBench&) {}},
      {"good_one_file_missing", [](StreamBench& s) { s.InstallAllButA(); }},
      {"good_all_intact", [](StreamBench& s) { s.InstallCopy(); }},
      {"good_damaged_pieces",
       [](StreamBench& s) {
         s.InstallCopy();
         std::vector<std::uint8_t> bytes = ReadFile(s.install / "a.bin");
         bytes[1500] ^= 0xFF;
         bytes.resize(3001, 7);  // and one byte too long
         WriteFile(s.install / "a.bin", bytes);
         fs::resize_file(s.install / "sub/b.bin", 1000);  // and one short
       }},
      // The pieces.
      PieceFault("refused", Fault::kRefuse, 1),
      PieceFault("reset", Fault::kReset, 4),
      PieceFault("reset_mid_body", Fault::kResetMidBody, 1),
      PieceFault("stall_before_headers", Fault::kStallBeforeHeaders, 1),
      PieceFault("stall_mid_body", Fault::kStallMidBody, 1),
      PieceFault("whole_body", Fault::kWholeBody, 4),
      PieceFault("short_body", Fault::kShortBody, 4),
      PieceFault("long_body", Fault::kLongBody, 1),
      PieceFault("error_page", Fault::kErrorPage, 2),
      PieceFault("wrong_digest", Fault::kWrongDigest, -1),
      PieceFault("trickle", Fault::kTrickle, -1),
      PieceFault("redirect_once", Fault::kRedirect, 1),
      PieceFault("redirect_loop", Fault::kRedirect, 6),
      PieceFault("reset_until_ended", Fault::kReset, -1, 4),
      PieceFault("whole_body_until_ended", Fault::kWholeBody, -1, 3),
      {"piece_slow_drip",
       [](StreamBench& s) {
         s.settings.slow_window = 500ms;
         s.settings.slow_min_bytes = 1024;
         s.InstallAllButA();
         s.server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = "bytes=0-1023",
                                     .fault = Fault::kTrickle, .times = 1, .bytes_per_second = 200});
       }},
      {"piece_ahead_fails",
       [](StreamBench& s) {
         s.InstallAllButA();
         s.AddPieceRule(Fault::kReset, 3, "bytes=2048-2999");
       }},
      {"piece_each_fails_twice",
       [](StreamBench& s) {
         s.InstallAllButA();
         s.AddPieceRule(Fault::kReset, 2, "bytes=0-1023");
         s.AddPieceRule(Fault::kShortBody, 2, "bytes=1024-2047");
       }},
      {"piece_one_connection",
       [](StreamBench& s) {
         s.settings.connections = 1;
         s.settings.fresh_connections = true;
         s.InstallAllButA();
         s.AddPieceRule(Fault::kReset, 3, "bytes=1024-2047");
       }},
      // The version file.
      VersionFault("error_page", Fault::kErrorPage, 3),
      VersionFault("reset", Fault::kReset, 2),
      VersionFault("stall", Fault::kStallBeforeHeaders, 1),
      VersionFault("reset_until_ended", Fault::kReset, -1, 3),
      {"version_host_down", [](StreamBench& s) { s.settings.version_host = DeadUrl(); }, 5},
      {"version_file_short",
       [](StreamBench& s) {
         auto version = ReadFile(s.root / "krdn/barternsav/360/tern.sav");
         version.resize(253);
         WriteFile(s.root / "krdn/barternsav/360/tern.sav", version);
       },
       4},
      {"version_file_unreadable", [](StreamBench& s) { fs::create_directories(s.install / "tern.sav"); }, 3},
      {"version_unsupported", [](StreamBench& s) { s.Publish("1.8.0", 0, 1024); }},
      // The manifest.
      ManifestFault("short_body", Fault::kShortBody, 1),
      ManifestFault("error_page", Fault::kErrorPage, 2),
      ManifestFault("reset_mid_body", Fault::kResetMidBody, 1),
      ManifestFault("stall", Fault::kStallMidBody, 1),
      ManifestFault("wrong_digest", Fault::kWrongDigest, -1, 3),
      {"manifest_outside_the_install",
       [](StreamBench& s) { s.ServeManifest(",1\r\n\\..\\escaped.bin,1,4,0123456789ABCDEF0123456789ABCDEF\r\n"); }, 3},
      {"manifest_unparsable", [](StreamBench& s) { s.ServeManifest(",1\r\n\\a.bin,3000,x\r\n"); }, 3},
      // Completion.
      {"completion_marker_unreachable",
       [](StreamBench& s) {
         s.InstallCopy();
         s.server->AddRule(FaultRule{.path_prefix = "/krdn/repair/Repair_Done.txt", .fault = Fault::kReset});
       }},
      // Local files.
      {"local_unverifiable_nothing_to_fetch",
       [](StreamBench& s) {
         s.InstallAllButA();
         fs::create_directories(s.install / "a.bin");
       }},
      {"local_unverifiable_others_repaired",
       [](StreamBench& s) {
         s.InstallAllButA();
         fs::create_directories(s.install / "a.bin");
         fs::remove(s.install / "sub/b.bin");
       }},
      {"local_cannot_extend",
       [](StreamBench& s) {
         s.InstallCopy();
         fs::remove_all(s.install / "sub");
         WriteFile(s.install / "sub", std::string("a file where the directory should be"));
       }},
      {"local_wrong_size_under_mode_word_5",
       [](StreamBench& s) {
         s.Publish("1.9.3", 5, 1024);
         s.InstallAllButA();
       }},
  };
  return scenarios;
}

}  // namespace krdn::testing
