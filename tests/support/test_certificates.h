// Certificates made for one test with the openssl command (of the host, see
// platform/test_host.h): certificate authorities, and server certificates they sign for
// the names a test chooses.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/testing/test_host.h"

namespace krdn::testing {

struct ServerCertificate {
  std::filesystem::path certificate;  // PEM
  std::filesystem::path key;          // PEM
};

class TestAuthority {
 public:
  // A new authority (P-256 key, valid for a day) named `name`, with its files in dir.
  TestAuthority(const std::filesystem::path& dir, const std::string& name) : dir_(dir), name_(name) {
    std::filesystem::create_directories(dir_);
    Openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1",
             "-subj", "/CN=" + name_, "-keyout", Host(key()), "-out", Host(certificate())},
            certificate());
  }

  std::filesystem::path certificate() const { return dir_ / (name_ + "-ca.pem"); }

  // A server certificate signed by this authority for the subject alternative names
  // given, such as "IP:127.0.0.1,DNS:localhost".
  ServerCertificate Issue(const std::string& file_name, const std::string& alt_names) const {
    const ServerCertificate issued{dir_ / (file_name + ".pem"), dir_ / (file_name + ".key")};
    const std::filesystem::path request = dir_ / (file_name + ".csr");
    const std::filesystem::path extensions = dir_ / (file_name + ".ext");
    std::ofstream(extensions) << "subjectAltName=" << alt_names << "\n";
    Openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj", "/CN=" + file_name,
             "-keyout", Host(issued.key), "-out", Host(request)},
            request);
    Openssl({"x509", "-req", "-in", Host(request), "-CA", Host(certificate()), "-CAkey", Host(key()), "-CAcreateserial",
             "-days", "1", "-extfile", Host(extensions), "-out", Host(issued.certificate)},
            issued.certificate);
    return issued;
  }

 private:
  std::filesystem::path key() const { return dir_ / (name_ + "-ca.key"); }

  static std::string Host(const std::filesystem::path& path) { return platform::HostPath(path.u16string()); }

  static void Openssl(std::vector<std::string> arguments, const std::filesystem::path& made) {
    arguments.insert(arguments.begin(), "openssl");
    const std::string output = platform::RunOnHost(arguments);
    if (!std::filesystem::exists(made)) throw std::runtime_error("openssl made no " + made.string() + ": " + output);
  }

  std::filesystem::path dir_;
  std::string name_;
};

}  // namespace krdn::testing
