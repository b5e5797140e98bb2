#include "delivery/DeliveryLanes.h"

#include <algorithm>
#include <map>

#include "platform/AsciiText.h"

std::vector<DeliveryLane> PlanLanes(const std::vector<std::pair<std::size_t, std::string>>& recipients,
                                    std::size_t perHost) {
  std::map<std::string, std::vector<std::size_t>> byHost;
  for (const auto& [index, host] : recipients) byHost[ascii::ToLower(host)].push_back(index);

  std::vector<DeliveryLane> lanes;
  for (const auto& [host, indexes] : byHost) {
    const std::size_t count = std::min(std::max<std::size_t>(perHost, 1), indexes.size());
    const std::size_t first = lanes.size();
    lanes.resize(first + count);
    for (std::size_t i = 0; i < indexes.size(); ++i) lanes[first + i % count].push_back(indexes[i]);
  }
  std::sort(lanes.begin(), lanes.end(),
            [](const DeliveryLane& a, const DeliveryLane& b) { return a.front() < b.front(); });
  return lanes;
}
