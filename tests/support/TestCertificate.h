// Certificates made for a test run: a fresh key and a self-signed X.509
// certificate built in memory, so no private key ever lives in the
// repository.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Tls.h"

namespace testing_support {

struct TestCertificate {
  std::string certificatePem;
  std::string keyPem;
};

// names: DNS names or dotted IPv4 addresses the certificate is for; the
// first is also its common name. Valid from an hour ago for a day.
TestCertificate MakeSelfSignedCertificate(const std::vector<std::string>& names);

// A server context for the fake exchangers with a certificate for the
// loopback addresses they use; made once per test program.
std::shared_ptr<const os::TlsContext> FakeExchangerTls();
// That certificate, for a client that should trust it.
const TestCertificate& FakeExchangerCertificate();

}  // namespace testing_support
