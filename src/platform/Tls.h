// TLS for the engine's connections on OpenSSL: a shared configuration
// (TlsContext) and one connection's encryption (TlsSession). A session never
// touches a socket: it takes the bytes the peer sent and hands out the bytes
// to send, so the stream that owns the socket keeps its time limits, its
// abort from other threads and its writes that raise no SIGPIPE.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

struct ssl_st;
struct ssl_ctx_st;

namespace os {

// What a finished handshake came to, kept for the log and for any stricter
// policy later (a connection may go on although the certificate failed).
struct TlsReport {
  bool encrypted = false;
  bool certificateVerified = false;
  std::string verifyResult;  // the verification's own text, "ok" when verified
  std::string protocol;      // "TLSv1.3", ...
  std::string cipher;
};

class TlsContext {
 public:
  // Client side: TLS 1.2 or newer with the library's default ciphers,
  // checked against the system's trusted authorities and, for tests, the
  // certificates in extraTrustPem. The check is recorded, never enforced.
  static std::shared_ptr<const TlsContext> Client(const std::string& extraTrustPem = "");
  // The client context most connections share; made on first use.
  static std::shared_ptr<const TlsContext> DefaultClient();
  // Server side with one certificate and its private key, both PEM text.
  static std::shared_ptr<const TlsContext> Server(const std::string& certificatePem,
                                                  const std::string& keyPem);

  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

 private:
  struct Free {
    void operator()(ssl_ctx_st* context) const;
  };
  TlsContext(ssl_ctx_st* context, bool server);

  std::unique_ptr<ssl_ctx_st, Free> context_;
  bool server_;
  friend class TlsSession;
};

class TlsSession {
 public:
  enum class ReadResult { Data, NeedInput, Closed };

  // host names the peer for SNI and the certificate check; a dotted IPv4
  // address is checked against the certificate's IP addresses instead.
  static std::unique_ptr<TlsSession> ForClient(std::shared_ptr<const TlsContext> context,
                                               const std::string& host);
  static std::unique_ptr<TlsSession> ForServer(std::shared_ptr<const TlsContext> context);

  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Takes bytes the peer sent.
  void Feed(const char* bytes, std::size_t size);
  // Appends the bytes waiting to go to the peer to out and forgets them.
  void TakeOutput(std::string& out);

  // Advances the handshake: true once it is complete, false while it needs
  // more from the peer (send TakeOutput first). Throws ETlsError.
  bool Handshake();
  // Appends decrypted bytes to plain. Closed when the peer ended TLS.
  // Throws ETlsError on a record that does not decrypt.
  ReadResult Read(std::string& plain);
  // Encrypts all of plain into the output.
  void Write(std::string_view plain);

  // After the handshake: protocol, cipher and the certificate check.
  TlsReport Report() const;

 private:
  struct Free {
    void operator()(ssl_st* ssl) const;
  };
  TlsSession(std::shared_ptr<const TlsContext> context, ssl_st* ssl);
  static std::unique_ptr<TlsSession> Create(std::shared_ptr<const TlsContext> context);
  [[noreturn]] void Fail(const char* what, int result) const;

  std::shared_ptr<const TlsContext> context_;  // outlives the connection
  std::unique_ptr<ssl_st, Free> ssl_;
  bool handshakeDone_ = false;
};

}  // namespace os
