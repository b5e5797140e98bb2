// The line that tells how one copy left.
#include "delivery/DeliveredCopy.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(DescribeCopy, SaysHostAndEncryption) {
  const std::pair<DeliveredCopy, std::string> cases[] = {
      {{"a@x.test", "mx.x.test", {}}, "a@x.test via mx.x.test: plain"},
      {{"a@x.test", "mx.x.test", {true, true, "ok", "TLSv1.2", "ECDHE-RSA-AES128-GCM-SHA256"}},
       "a@x.test via mx.x.test: TLS (TLSv1.2, certificate verified)"},
      {{"a@x.test", "x.test", {true, false, "hostname mismatch", "TLSv1.3", "TLS_AES_256_GCM_SHA384"}},
       "a@x.test via x.test: TLS (TLSv1.3, certificate not verified: hostname mismatch)"},
  };
  for (const auto& [copy, text] : cases) EXPECT_EQ(DescribeCopy(copy), text);
}

}  // namespace
