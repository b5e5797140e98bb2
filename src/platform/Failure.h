// Failures in the engine travel as exceptions that carry the text the user,
// the log or the SMTP peer will see; the catching code decides what to do.
#pragma once

#include <stdexcept>
#include <string>

// Base of every failure the engine raises on purpose.
class EFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An operating-system socket error (refused, unreachable, reset, aborted);
// Code() is the errno value where there is one, else 0.
class ESocketError : public EFailure {
 public:
  explicit ESocketError(const std::string& text, int code = 0) : EFailure(text), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// The peer closed the connection (or it was aborted locally) before a whole
// line arrived.
class EConnectionClosed : public EFailure {
 public:
  EConnectionClosed() : EFailure("Connection Closed Gracefully.") {}
};

// No data arrived within the read time limit.
class EReadTimeout : public EFailure {
 public:
  EReadTimeout() : EFailure("Read Timeout") {}
};

// A line grew past the connection's maximum line length.
class ELineTooLong : public EFailure {
 public:
  ELineTooLong() : EFailure("Max line length exceeded.") {}
};

// A TCP connection was not established within its time limit.
class EConnectTimeout : public EFailure {
 public:
  EConnectTimeout() : EFailure("Connect timed out.") {}
};

// TLS could not be set up or broke: a failed handshake, a record that does
// not decrypt, or plain text where only encrypted data may come.
class ETlsError : public EFailure {
 public:
  using EFailure::EFailure;
};
