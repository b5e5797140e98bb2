// Checks a received datagram against the query it should answer and decodes
// its records; kept apart from the socket so it can be tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "delivery/dns/DNSHeader.h"
#include "delivery/dns/DnsRecords.h"

// Checks, in order: length (under 5 bytes is a time-out), ID, RCODE, length
// against the header and the query; then decodes the question and every
// resource record into `result`. `header` receives the answer's header
// fields as far as they were read. Throws EIdDnsResolverError with the text
// of the first fault; a malformed answer never reads outside `answer`.
void DecodeDnsAnswer(std::string_view answer, uint16_t queryId, std::size_t queryLength, TDNSHeader& header,
                     TQueryResult& result);
