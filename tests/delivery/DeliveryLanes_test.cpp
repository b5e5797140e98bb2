// Sharing the recipients of one message out over lanes of connections.
#include "delivery/DeliveryLanes.h"

#include <gtest/gtest.h>

TEST(DeliveryLanes, EachHostsRecipientsGoRoundRobinIntoAFewLanes) {
  using Recipients = std::vector<std::pair<std::size_t, std::string>>;
  const struct {
    const char* name;
    Recipients recipients;
    std::vector<DeliveryLane> want;
  } cases[] = {
      {"one recipient", {{0, "mx.a.test"}}, {{0}}},
      {"more recipients than lanes at one host",
       {{0, "mx.a.test"}, {1, "mx.a.test"}, {2, "mx.a.test"}, {3, "mx.a.test"}, {4, "mx.a.test"}},
       {{0, 3}, {1, 4}, {2}}},
      {"host names match without regard to case; lanes ordered by their first recipient",
       {{0, "mx.b.test"}, {1, "MX.A.test"}, {2, "mx.a.TEST"}, {4, "mx.b.test"}},
       {{0}, {1}, {2}, {4}}},
      {"recipients left out keep their indexes", {{2, "x"}, {5, "y"}, {7, "x"}}, {{2}, {5}, {7}}},
      {"nothing to deliver", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PlanLanes(c.recipients, 3), c.want);
  }
}
