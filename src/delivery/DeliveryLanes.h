// How the recipients of one message are shared out among deliveries that
// run at once: recipients whose copies go to the same exchanger first form
// a group, and each group is dealt out over a few lanes, one connection
// each, that carry their recipients one after another.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// A lane: recipient indexes in envelope order.
using DeliveryLane = std::vector<std::size_t>;

// recipients: (recipient index, first exchanger host), in envelope order.
// Hosts match without regard to case. Each host's recipients go round-robin
// into at most perHost lanes, so the first ones of every host start at once.
// The lanes come ordered by their first recipient.
std::vector<DeliveryLane> PlanLanes(const std::vector<std::pair<std::size_t, std::string>>& recipients,
                                    std::size_t perHost);
