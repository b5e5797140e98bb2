// A resolver that asks a loopback DNS fake for MX records, made ready before
// each test of the fixtures that derive from this one.
#pragma once

#include <gtest/gtest.h>

#include "delivery/dns/IdDNSResolver.h"
#include "support/FakeDnsServer.h"

namespace testing_support {

class DnsResolverFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    resolver.Host = fake.Address();
    resolver.QueryRecords = TQueryRecordTypes{qtMX};
    resolver.ReceiveTimeout = 5000;
    resolver.Activate();
  }

  FakeDnsServer fake;
  TIdDNSResolver resolver;
};

}  // namespace testing_support
