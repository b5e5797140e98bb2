// How one recipient's copy left: the exchanger that took it and whether the
// connection was encrypted. The relay counts these and, when asked, shows
// them line by line.
#pragma once

#include <string>

#include "platform/Tls.h"

struct DeliveredCopy {
  std::string recipient;
  std::string host;  // the exchanger as tried: its MX name or the domain
  os::TlsReport tls;
};

// One line for a person: "ann@a.test via mx.a.test: TLS (TLSv1.3,
// certificate verified)" or "... : plain".
std::string DescribeCopy(const DeliveredCopy& copy);
