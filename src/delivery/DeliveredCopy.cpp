#include "delivery/DeliveredCopy.h"

std::string DescribeCopy(const DeliveredCopy& copy) {
  std::string text = copy.recipient + " via " + copy.host + ": ";
  if (!copy.tls.encrypted) return text + "plain";
  text += "TLS (" + copy.tls.protocol + ", certificate ";
  if (copy.tls.certificateVerified) return text + "verified)";
  return text + "not verified: " + copy.tls.verifyResult + ")";
}
