#include "transfer/fetch_url.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/base/utf.h"
#include "tests/support/temp_dir.h"
#include "tools/fault-server/fault_server.h"

namespace krdn {
namespace {

using fault::Fault;
using fault::FaultRule;
using testing::PatternBytes;
using testing::TempDir;
using testing::WriteFile;

TEST(AgentString, NamesTheKindAndTheFourMiBPiece) {
  EXPECT_EQ(AgentString(0, 0, FetchKind::kNone, u""), "VoRepair");
  EXPECT_EQ(AgentString(0, 0, FetchKind::kNone, u"_DONE"), "VoRepair_DONE");
  EXPECT_EQ(AgentString(9u << 20, 4194304, FetchKind::kMissing, u""), "VoRepair_missing_2in3");
  EXPECT_EQ(AgentString(8u << 20, 0, FetchKind::kInvalid, u""), "VoRepair_invalid_1in2");
  EXPECT_EQ(AgentString((8u << 20) + 1, 8u << 20, FetchKind::kInvalid, u""), "VoRepair_invalid_3in3");
  EXPECT_EQ(AgentString(1, 0, FetchKind::kMissing, u""), "VoRepair_missing_1in1");
  EXPECT_EQ(AgentString(0xFFFFFFFFu, 0xFFFFFFFEu, FetchKind::kMissing, u""), "VoRepair_missing_1024in1024");
  EXPECT_EQ(RangeValue({0, std::nullopt}), "bytes=0-");
  EXPECT_EQ(RangeValue({10, 4294967295u}), "bytes=10-4294967295");
}

// Files of 4 GiB and more: piece numbers and ranges counted in 64 bits, where 32 would
// wrap (a 6 GiB file would count 512 pieces, its last piece number 512 as well).
TEST(AgentString, CountsThePiecesOfFilesOf4GiBAndMore) {
  constexpr std::uint64_t k6GiB = std::uint64_t{6} << 30;
  EXPECT_EQ(AgentString(k6GiB, k6GiB - 4194304, FetchKind::kInvalid, u""), "VoRepair_invalid_1536in1536");
  EXPECT_EQ(AgentString(k6GiB, 0, FetchKind::kMissing, u""), "VoRepair_missing_1in1536");
  EXPECT_EQ(AgentString(std::uint64_t{1} << 32, 0, FetchKind::kMissing, u""), "VoRepair_missing_1in1024");
  EXPECT_EQ(AgentString((std::uint64_t{1} << 32) + 1, std::uint64_t{1} << 32, FetchKind::kMissing, u""),
            "VoRepair_missing_1025in1025");
  EXPECT_EQ(RangeValue({k6GiB - 4194304, k6GiB - 1}), "bytes=6438256640-6442450943");
  EXPECT_EQ(RangeValue({std::uint64_t{1} << 32, std::nullopt}), "bytes=4294967296-");
}

class Recorder final : public FetchObserver {
 public:
  void OnProgressText(const std::u16string& text) override { texts.push_back(text); }
  bool ShouldContinue() override { return ++blocks <= stop_after; }
  std::stop_token CancelToken() const override { return cancel.get_token(); }

  std::vector<std::u16string> texts;
  int blocks = 0;
  int stop_after = 1 << 30;
  std::stop_source cancel;
};

class Fetch : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "file.bin", PatternBytes(300000, 7));
    WriteFile(dir / "empty.bin", std::vector<std::uint8_t>{});
  }
  std::u16string Url(const std::string& path) const { return platform::Utf8ToUtf16(server.url() + path); }

  TempDir dir;
  fault::FaultServer server{dir.path()};
  platform::HttpSession session;
  Recorder recorder;
  std::vector<std::uint8_t> body;
};

TEST_F(Fetch, BringsARangeWithAProgressLineAndSendsTheHeaders) {
  ASSERT_EQ(FetchUrl(session, recorder, body, Url("/file.bin"), 300000, {1000, 200999}, FetchKind::kInvalid), 0);
  const auto expected = PatternBytes(300000, 7);
  EXPECT_EQ(body, std::vector<std::uint8_t>(expected.begin() + 1000, expected.begin() + 201000));
  ASSERT_FALSE(recorder.texts.empty());
  EXPECT_EQ(recorder.texts[0], u"下载数据：(0/200000)\r\n");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].user_agent, "VoRepair_invalid_1in1");
  EXPECT_EQ(requests[0].range, "bytes=1000-200999");
}

TEST_F(Fetch, AnOpenEndedFetchSendsNoProgressAndTakesAnEmptyBody) {
  ASSERT_EQ(FetchUrl(session, recorder, body, Url("/file.bin"), 0, {}, FetchKind::kNone), 0);
  EXPECT_EQ(body.size(), 300000u);
  EXPECT_TRUE(recorder.texts.empty());
  body.clear();
  ASSERT_EQ(FetchUrl(session, recorder, body, Url("/empty.bin"), 0, {}, FetchKind::kNone), 0);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(server.requests().back().range, "bytes=0-");
}

TEST_F(Fetch, ABodyLongerThanItsRangeIsCutOneBytePastItAndAnOpenEndedOnePastTheCapFails) {
  server.AddRule(FaultRule{.path_prefix = "", .fault = Fault::kWholeBody, .times = 1});
  EXPECT_EQ(FetchUrl(session, recorder, body, Url("/file.bin"), 300000, {0, 99}, FetchKind::kMissing), 0);
  const auto whole = PatternBytes(300000, 7);
  EXPECT_EQ(body, std::vector<std::uint8_t>(whole.begin(), whole.begin() + 101)) << "what arrived, up to range + 1";
  EXPECT_GE(body.capacity(), 101u);
  EXPECT_LE(body.capacity(), 101u + 1024u) << "one piece and a little, not the whole answer";
  body.clear();
  server.AddRule(FaultRule{.path_prefix = "", .fault = Fault::kLongBody, .times = 1});
  EXPECT_EQ(FetchUrl(session, recorder, body, Url("/file.bin"), 300000, {1000, 1999}, FetchKind::kMissing), 0);
  EXPECT_EQ(body.size(), 1001u);
  body.clear();
  FetchLimits small;
  small.open_ended_cap = 1000;
  EXPECT_EQ(FetchUrl(session, recorder, body, Url("/file.bin"), 0, {}, FetchKind::kNone, u"", small), -1);
  EXPECT_LE(body.size(), 1001u);
}

TEST_F(Fetch, AnErrorPageIsABodyLikeAnyOther) {
  server.AddRule(FaultRule{.path_prefix = "", .fault = Fault::kErrorPage});
  EXPECT_EQ(FetchUrl(session, recorder, body, Url("/file.bin"), 0, {}, FetchKind::kNone), 0);
  EXPECT_EQ(body.size(), 300u);
}

TEST_F(Fetch, FailsOnResetStallOrARunThatStopsOrIsCancelled) {
  server.AddRule(FaultRule{.path_prefix = "/reset", .fault = Fault::kResetMidBody});
  server.AddRule(FaultRule{.path_prefix = "/stall", .fault = Fault::kStallMidBody});
  server.AddRule(FaultRule{.path_prefix = "/slow", .fault = Fault::kTrickle, .bytes_per_second = 100000});
  WriteFile(dir / "reset.bin", PatternBytes(300000, 1));
  WriteFile(dir / "stall.bin", PatternBytes(300000, 1));
  WriteFile(dir / "slow.bin", PatternBytes(300000, 1));
  EXPECT_EQ(FetchUrl(session, recorder, body, Url("/reset.bin"), 0, {}, FetchKind::kNone), -1);
  FetchLimits quick;
  quick.http.stall_timeout = std::chrono::milliseconds(200);
  EXPECT_EQ(FetchUrl(session, recorder, body, Url("/stall.bin"), 0, {}, FetchKind::kNone, u"", quick), -1);

  recorder.stop_after = 3;  // the running flag drops after the third block
  body.clear();
  EXPECT_EQ(FetchUrl(session, recorder, body, Url("/slow.bin"), 0, {}, FetchKind::kNone), -1);
  EXPECT_LT(body.size(), 300000u);

  Recorder cancelled;
  cancelled.cancel.request_stop();
  EXPECT_EQ(FetchUrl(session, cancelled, body, Url("/file.bin"), 0, {}, FetchKind::kNone), -1);
}

TEST_F(Fetch, NamesWithSpacesAndChineseCharactersReachTheServer) {
  WriteFile(dir / "数据 1#.bin", PatternBytes(10, 3));
  ASSERT_EQ(FetchUrl(session, recorder, body, Url("/数据 1#.bin"), 0, {}, FetchKind::kNone), 0);
  EXPECT_EQ(body, PatternBytes(10, 3));
}

}  // namespace
}  // namespace krdn
