// Runs against nginx over HTTPS, with certificates the test makes: a certificate that
// chains to a trusted authority and names the host serves the run; one that names
// another host, one from an authority nobody trusts, and a redirect down to plain http
// are failed attempts, and nothing of theirs is used.
#include <fstream>

#include "tests/repair/engine_fixture.h"
#include "tests/support/local_servers.h"
#include "tests/support/test_certificates.h"

namespace krdn::testing {
namespace {

class EngineOverHttps : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    settings.connect_timeout = std::chrono::milliseconds(5000);
    AddClientFile("VoLauncher.exe", PatternBytes(2500, 71));
    AddClientFile("data/empty.cfg", {});
    AddClientFile("数据/地图.pak", PatternBytes(5000, 72));
    Publish("1.9.3", 0, 1024);
  }

  std::unique_ptr<LocalServers> Serve(const ServerCertificate& issued, const std::string& more = {}) {
    auto servers = std::make_unique<LocalServers>(
        root, work / "nginx", "--tls-cert " + issued.certificate.string() + " --tls-key " + issued.key.string() + " " + more);
    settings.version_host = servers->version_host();
    settings.repair_host = servers->repair_host();
    return servers;
  }

  // Answers `count` retry questions with "go on", then ends the run from the next one.
  void EndAfterQuestions(std::size_t count) {
    answer = [this, count](const Note& note) {
      if (note.kind != Kind::kQuestion || ++questions_seen <= count) return RetryAnswer::kGoOn;
      return RetryAnswer::kEndRun;
    };
  }

  std::vector<std::u16string> QuestionTexts() const {
    std::vector<std::u16string> out;
    for (const auto& [severity, text] : QuestionsPut()) out.push_back(text);
    return out;
  }

  TestAuthority trusted{work / "pki", "trusted"};
  std::size_t questions_seen = 0;
};

TEST_F(EngineOverHttps, ACertificateFromTheTrustedAuthorityForTheHostServesTheRun) {
  const auto servers = Serve(trusted.Issue("good", "IP:127.0.0.1,DNS:localhost"));
  ASSERT_EQ(servers->version_host().rfind("https://127.0.0.1:", 0), 0u);
  settings.ca_file = trusted.certificate().string();

  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  const std::string log = servers->StoppedLog();
  EXPECT_NE(log.find("\"GET /krdn/barternsav/360/tern.sav HTTP/1.1\" 200 256 \"Version\""), std::string::npos) << log;
  EXPECT_NE(log.find("/%E5%9C%B0%E5%9B%BE.pak HTTP/1.1\" 206 1024 \"VoRepair_missing_1in1\" \"bytes=2048-3071\""),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("\"VoRepair_DONE\""), std::string::npos) << log;
}

struct Refusal {
  std::string name;
  std::string alt_names;      // of the server's certificate
  bool issued_by_stranger;    // signed by an authority the run does not trust
  bool system_store;          // the run trusts the system's store (no CA file)
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class RefusedCertificates : public EngineOverHttps, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedCertificates, AreFailedAttemptsOfTheVersionProbeAndNothingIsFetched) {
  const Refusal c = GetParam();
  const TestAuthority stranger(work / "pki-stranger", "stranger");
  const auto servers = Serve((c.issued_by_stranger ? stranger : trusted).Issue("server", c.alt_names));
  if (!c.system_store) settings.ca_file = trusted.certificate().string();
  WriteFile(install / "tern.sav", "the old version file");
  EndAfterQuestions(3);

  RunRepair();
  EXPECT_FALSE(Succeeded());
  const std::vector<std::u16string> texts = QuestionTexts();
  ASSERT_EQ(texts.size(), 4u);
  for (const std::u16string& text : texts) EXPECT_EQ(text, u"文件tern.sav下载失败\r\n");
  EXPECT_EQ(QuestionsOf(kUnstable), 2u);
  EXPECT_EQ(ReadText(install / "tern.sav"), "the old version file");
  const std::string log = servers->StoppedLog();
  EXPECT_EQ(log.find("/krdn/"), std::string::npos) << "no request got past the handshake: " << log;
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, RefusedCertificates,
    ::testing::Values(Refusal{"WrongHostName", "DNS:elsewhere.invalid,IP:127.0.0.2", false, false},
                      Refusal{"UntrustedAuthority", "IP:127.0.0.1,DNS:localhost", true, false},
                      Refusal{"MadeByTheTestNotInTheSystemStore", "IP:127.0.0.1,DNS:localhost", false, true}),
    [](const ::testing::TestParamInfo<Refusal>& param_info) { return param_info.param.name; });

TEST_F(EngineOverHttps, ARedirectFromHttpsDownToPlainHttpIsAFailedAttempt) {
  // The fault server serves the same tree over plain http; the https server sends the
  // version file's request there.
  {
    std::ofstream include(work / "redirect.conf");
    include << "location = /krdn/barternsav/360/tern.sav { return 302 " << server->url()
            << "/krdn/barternsav/360/tern.sav; }\n";
  }
  const auto servers = Serve(trusted.Issue("good", "IP:127.0.0.1"), "--include " + (work / "redirect.conf").string());
  settings.ca_file = trusted.certificate().string();
  EndAfterQuestions(2);

  RunRepair();
  EXPECT_FALSE(Succeeded());
  const std::vector<std::u16string> texts = QuestionTexts();
  ASSERT_EQ(texts.size(), 3u);
  for (const std::u16string& text : texts) EXPECT_EQ(text, u"文件tern.sav下载失败\r\n");
  EXPECT_TRUE(server->requests().empty()) << "the plain http server was never asked";
  EXPECT_NE(servers->StoppedLog().find("\"GET /krdn/barternsav/360/tern.sav HTTP/1.1\" 302"), std::string::npos);
  EXPECT_FALSE(fs::exists(install / "tern.sav"));
}

}  // namespace
}  // namespace krdn::testing
