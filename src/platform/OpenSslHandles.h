// Owning handles for the OpenSSL objects the TLS layer and the tests' throwaway
// certificate make: each frees its object with OpenSSL's own release call.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace os {

template <auto Release>
struct OpenSslReleaser {
  template <typename T>
  void operator()(T* handle) const {
    Release(handle);
  }
};
using BioPtr = std::unique_ptr<BIO, OpenSslReleaser<BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, OpenSslReleaser<X509_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslReleaser<EVP_PKEY_free>>;

}  // namespace os
