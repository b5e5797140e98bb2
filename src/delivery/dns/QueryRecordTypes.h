// The record types a DNS query can ask for, and the set of them a resolver
// asks for, kept as a 32-bit mask with bit n for the n-th type.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <vector>

enum TQueryRecordType : uint8_t {
  qtA,
  qtNS,
  qtMD,
  qtMF,
  qtName,
  qtSOA,
  qtMB,
  qtMG,
  qtMR,
  qtNull,
  qtWKS,
  qtPTR,
  qtHINFO,
  qtMINFO,
  qtMX,
  qtTXT,
  qtSTAR
};

inline constexpr int kQueryRecordTypeCount = qtSTAR + 1;

// The QTYPE code of a type: 1 to 16 in order, 255 for qtSTAR.
constexpr uint16_t QueryTypeCode(TQueryRecordType type) {
  return type == qtSTAR ? 255 : static_cast<uint16_t>(type + 1);
}

class TQueryRecordTypes {
 public:
  static constexpr uint32_t kAllTypes = (1u << kQueryRecordTypeCount) - 1;

  constexpr TQueryRecordTypes() = default;
  constexpr TQueryRecordTypes(std::initializer_list<TQueryRecordType> types) {
    for (auto type : types) Include(type);
  }
  // Bits that name no type are dropped.
  static constexpr TQueryRecordTypes FromMask(uint32_t mask) {
    TQueryRecordTypes set;
    set.mask_ = mask & kAllTypes;
    return set;
  }

  constexpr uint32_t Mask() const { return mask_; }
  constexpr bool Contains(TQueryRecordType type) const { return mask_ & Bit(type); }
  constexpr void Include(TQueryRecordType type) { mask_ |= Bit(type); }
  constexpr void Exclude(TQueryRecordType type) { mask_ &= ~Bit(type); }
  constexpr int Count() const { return std::popcount(mask_); }
  constexpr bool Empty() const { return mask_ == 0; }
  constexpr bool operator==(const TQueryRecordTypes&) const = default;

  // The members in the order of TQueryRecordType.
  std::vector<TQueryRecordType> InOrder() const {
    std::vector<TQueryRecordType> types;
    for (int n = 0; n < kQueryRecordTypeCount; ++n)
      if (mask_ & (1u << n)) types.push_back(static_cast<TQueryRecordType>(n));
    return types;
  }

 private:
  static constexpr uint32_t Bit(TQueryRecordType type) { return 1u << type; }
  uint32_t mask_ = 0;
};
