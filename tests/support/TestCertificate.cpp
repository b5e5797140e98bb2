#include "support/TestCertificate.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <stdexcept>

#include "platform/OpenSslHandles.h"

namespace testing_support {
namespace {

using os::BioPtr;
using os::KeyPtr;
using os::X509Ptr;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, os::OpenSslReleaser<X509_EXTENSION_free>>;

void Check(bool ok, const char* step) {
  if (!ok) throw std::runtime_error(std::string("making the test certificate: ") + step);
}

std::string AltNames(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) {
    in_addr address{};
    if (!text.empty()) text += ",";
    text += (::inet_pton(AF_INET, name.c_str(), &address) == 1 ? "IP:" : "DNS:") + name;
  }
  return text;
}

void AddExtension(X509* certificate, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
  Check(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "extension");
}

template <typename Write>
std::string Pem(Write write) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  Check(bio && write(bio.get()) == 1, "PEM");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

TestCertificate MakeSelfSignedCertificate(const std::vector<std::string>& names) {
  Check(!names.empty(), "no names");
  KeyPtr key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key");
  X509Ptr certificate(X509_new());
  Check(certificate != nullptr, "certificate");
  X509* x = certificate.get();
  unsigned char serial[8];
  Check(RAND_bytes(serial, sizeof serial) == 1, "serial");
  serial[0] &= 0x7f;  // a positive number
  Check(
      X509_set_version(x, 2) == 1 &&
          BN_to_ASN1_INTEGER(
              std::unique_ptr<BIGNUM, os::OpenSslReleaser<BN_free>>(BN_bin2bn(serial, sizeof serial, nullptr))
                  .get(),
              X509_get_serialNumber(x)) != nullptr &&
          X509_gmtime_adj(X509_getm_notBefore(x), -3600) != nullptr &&
          X509_gmtime_adj(X509_getm_notAfter(x), 24 * 3600) != nullptr && X509_set_pubkey(x, key.get()) == 1,
      "fields");
  X509_NAME* subject = X509_get_subject_name(x);
  Check(X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(names.front().c_str()), -1, -1,
                                   0) == 1 &&
            X509_set_issuer_name(x, subject) == 1,
        "name");
  AddExtension(x, NID_subject_alt_name, AltNames(names));
  AddExtension(x, NID_basic_constraints, "critical,CA:FALSE");
  Check(X509_sign(x, key.get(), EVP_sha256()) > 0, "signature");
  return {Pem([&](BIO* bio) { return PEM_write_bio_X509(bio, x); }), Pem([&](BIO* bio) {
            return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
          })};
}

const TestCertificate& FakeExchangerCertificate() {
  static const TestCertificate certificate =
      MakeSelfSignedCertificate({"fake.test", "127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"});
  return certificate;
}

std::shared_ptr<const os::TlsContext> FakeExchangerTls() {
  static const auto context =
      os::TlsContext::Server(FakeExchangerCertificate().certificatePem, FakeExchangerCertificate().keyPem);
  return context;
}

}  // namespace testing_support
