#include "platform/Tls.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Failure.h"
#include "platform/OpenSslHandles.h"

namespace os {
namespace {

constexpr std::size_t kReadChunk = 16384;

// The library's reasons for the last failure on this thread, "; "-joined,
// or fallback when it recorded none.
std::string LibraryErrors(const std::string& fallback) {
  std::string text;
  while (const unsigned long error = ERR_get_error()) {
    const char* reason = ERR_reason_error_string(error);
    if (!text.empty()) text += "; ";
    text += reason ? reason : "error " + std::to_string(ERR_GET_REASON(error));
  }
  return text.empty() ? fallback : text;
}

[[noreturn]] void ThrowSetupError(const std::string& what) {
  throw ETlsError(what + ": " + LibraryErrors("failed"));
}

BioPtr ReadOnlyBio(const std::string& text) {
  BioPtr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  if (!bio) ThrowSetupError("TLS buffer");
  return bio;
}

SSL_CTX* NewContext(const SSL_METHOD* method) {
  ERR_clear_error();
  SSL_CTX* context = SSL_CTX_new(method);
  if (!context) ThrowSetupError("TLS context");
  // TLS 1.2 is the oldest version without known breaks; renegotiation is
  // what mail servers need least and attackers like most.
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
  // Idle connections give their record buffers back.
  SSL_CTX_set_mode(context, SSL_MODE_RELEASE_BUFFERS);
  return context;
}

// The system's trusted authorities from the library's default file and
// hashed folder (or SSL_CERT_FILE and SSL_CERT_DIR). Named one by one
// rather than through the library's default paths, whose 3.0 release lists
// the whole folder again for every certificate it checks. Without them
// nothing verifies, which each connection reports; it is no reason not to
// encrypt.
void LoadSystemAuthorities(SSL_CTX* context) {
  const char* file = std::getenv(X509_get_default_cert_file_env());
  const char* folder = std::getenv(X509_get_default_cert_dir_env());
  SSL_CTX_load_verify_file(context, file ? file : X509_get_default_cert_file());
  SSL_CTX_load_verify_dir(context, folder ? folder : X509_get_default_cert_dir());
}

}  // namespace

void TlsContext::Free::operator()(ssl_ctx_st* context) const { SSL_CTX_free(context); }
void TlsSession::Free::operator()(ssl_st* ssl) const { SSL_free(ssl); }

TlsContext::TlsContext(ssl_ctx_st* context, bool server) : context_(context), server_(server) {}
TlsContext::~TlsContext() = default;

std::shared_ptr<const TlsContext> TlsContext::Client(const std::string& extraTrustPem) {
  std::shared_ptr<const TlsContext> shared(new TlsContext(NewContext(TLS_client_method()), false));
  SSL_CTX* context = shared->context_.get();
  // Opportunistic: a certificate that fails the check does not stop the
  // handshake; the session reports the result instead.
  SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
  LoadSystemAuthorities(context);
  if (!extraTrustPem.empty()) {
    BioPtr bio = ReadOnlyBio(extraTrustPem);
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    while (X509Ptr certificate{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)})
      X509_STORE_add_cert(store, certificate.get());
  }
  ERR_clear_error();
  return shared;
}

std::shared_ptr<const TlsContext> TlsContext::DefaultClient() {
  static const std::shared_ptr<const TlsContext> context = Client();
  return context;
}

std::shared_ptr<const TlsContext> TlsContext::Server(const std::string& certificatePem,
                                                     const std::string& keyPem) {
  std::shared_ptr<const TlsContext> shared(new TlsContext(NewContext(TLS_server_method()), true));
  SSL_CTX* context = shared->context_.get();
  X509Ptr certificate(PEM_read_bio_X509(ReadOnlyBio(certificatePem).get(), nullptr, nullptr, nullptr));
  KeyPtr key(PEM_read_bio_PrivateKey(ReadOnlyBio(keyPem).get(), nullptr, nullptr, nullptr));
  if (!certificate || !key || SSL_CTX_use_certificate(context, certificate.get()) != 1 ||
      SSL_CTX_use_PrivateKey(context, key.get()) != 1 || SSL_CTX_check_private_key(context) != 1)
    ThrowSetupError("TLS certificate");
  return shared;
}

TlsSession::TlsSession(std::shared_ptr<const TlsContext> context, ssl_st* ssl)
    : context_(std::move(context)), ssl_(ssl) {}
TlsSession::~TlsSession() = default;

std::unique_ptr<TlsSession> TlsSession::ForClient(std::shared_ptr<const TlsContext> context,
                                                  const std::string& host) {
  if (context->server_) throw ETlsError("TLS context: made for the server side");
  auto session = Create(std::move(context));
  SSL* ssl = session->ssl_.get();
  SSL_set_connect_state(ssl);
  std::string name = host;
  if (!name.empty() && name.back() == '.') name.pop_back();
  in_addr address{};
  if (::inet_pton(AF_INET, name.c_str(), &address) == 1) {
    // Names only in SNI; an address literal is checked as an address.
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.c_str());
  } else if (!name.empty()) {
    SSL_set_tlsext_host_name(ssl, name.c_str());
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    SSL_set1_host(ssl, name.c_str());
  }
  return session;
}

std::unique_ptr<TlsSession> TlsSession::ForServer(std::shared_ptr<const TlsContext> context) {
  if (!context->server_) throw ETlsError("TLS context: made for the client side");
  auto session = Create(std::move(context));
  SSL_set_accept_state(session->ssl_.get());
  return session;
}

// An SSL object between two memory buffers: the owner of the socket moves
// the bytes.
std::unique_ptr<TlsSession> TlsSession::Create(std::shared_ptr<const TlsContext> context) {
  ERR_clear_error();
  std::unique_ptr<SSL, Free> ssl(SSL_new(context->context_.get()));
  BioPtr in(BIO_new(BIO_s_mem()));
  BioPtr out(BIO_new(BIO_s_mem()));
  if (!ssl || !in || !out) ThrowSetupError("TLS session");
  // An empty input buffer means "more to come", not end of file.
  BIO_set_mem_eof_return(in.get(), -1);
  SSL_set_bio(ssl.get(), in.release(), out.release());
  return std::unique_ptr<TlsSession>(new TlsSession(std::move(context), ssl.release()));
}

void TlsSession::Feed(const char* bytes, std::size_t size) {
  while (size > 0) {
    const int n =
        BIO_write(SSL_get_rbio(ssl_.get()), bytes, static_cast<int>(std::min<std::size_t>(size, 1 << 20)));
    if (n <= 0) ThrowSetupError("TLS input");
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
}

void TlsSession::TakeOutput(std::string& out) {
  BIO* bio = SSL_get_wbio(ssl_.get());
  const std::size_t pending = BIO_ctrl_pending(bio);
  if (pending == 0) return;
  const std::size_t start = out.size();
  out.resize(start + pending);
  const int n = BIO_read(bio, out.data() + start, static_cast<int>(pending));
  out.resize(start + static_cast<std::size_t>(n > 0 ? n : 0));
}

bool TlsSession::Handshake() {
  if (handshakeDone_) return true;
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_.get());
  if (result == 1) return handshakeDone_ = true;
  if (SSL_get_error(ssl_.get(), result) == SSL_ERROR_WANT_READ) return false;
  Fail("TLS handshake failed", result);
}

TlsSession::ReadResult TlsSession::Read(std::string& plain) {
  char chunk[kReadChunk];
  bool got = false;
  for (;;) {
    ERR_clear_error();
    std::size_t n = 0;
    const int result = SSL_read_ex(ssl_.get(), chunk, sizeof chunk, &n);
    if (result == 1) {
      plain.append(chunk, n);
      got = true;
      continue;
    }
    switch (SSL_get_error(ssl_.get(), result)) {
      case SSL_ERROR_WANT_READ:
        return got ? ReadResult::Data : ReadResult::NeedInput;
      case SSL_ERROR_ZERO_RETURN:
        return got ? ReadResult::Data : ReadResult::Closed;
      default:
        Fail("TLS read failed", result);
    }
  }
}

void TlsSession::Write(std::string_view plain) {
  while (!plain.empty()) {
    ERR_clear_error();
    std::size_t n = 0;
    const int result = SSL_write_ex(ssl_.get(), plain.data(), plain.size(), &n);
    if (result != 1) Fail("TLS write failed", result);
    plain.remove_prefix(n);
  }
}

TlsReport TlsSession::Report() const {
  TlsReport report;
  if (!handshakeDone_) return report;
  SSL* ssl = ssl_.get();
  report.encrypted = true;
  report.protocol = SSL_get_version(ssl);
  report.cipher = SSL_get_cipher_name(ssl);
  const long result = SSL_get_verify_result(ssl);
  const bool hasCertificate = SSL_get0_peer_certificate(ssl) != nullptr;
  report.certificateVerified = hasCertificate && result == X509_V_OK;
  report.verifyResult = hasCertificate ? X509_verify_cert_error_string(result) : "no certificate";
  return report;
}

void TlsSession::Fail(const char* what, int result) const {
  const int error = SSL_get_error(ssl_.get(), result);
  std::string fallback =
      error == SSL_ERROR_SYSCALL ? "unexpected end of data" : "error " + std::to_string(error);
  throw ETlsError(std::string(what) + ": " + LibraryErrors(fallback));
}

}  // namespace os
