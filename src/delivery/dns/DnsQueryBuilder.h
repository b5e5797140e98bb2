// Builds the bytes of a DNS query: the header, then one question per record
// type asked for.
#pragma once

#include <string>
#include <string_view>

#include "delivery/dns/DNSHeader.h"
#include "delivery/dns/QueryRecordTypes.h"

// A domain as wire labels: each piece between dots as a length byte and its
// characters, an empty piece as a zero byte, no label for a trailing dot,
// then the closing zero byte. Throws EIdDnsResolverError "Invalid Domain
// Name" when a label is longer than 63 bytes or the name longer than 255,
// which no length byte can carry.
std::string EncodeDomainName(std::string_view domain);

// The name a PTR question asks for: an address "a.b.c.d" becomes
// "d.c.b.a.in-addr.arpa"; a name that already holds "in-addr" stays.
std::string ReverseLookupName(std::string_view domain);

// The whole query: the header as given (its QDCOUNT is the caller's), then
// for each type in `types`, in type order, the name, QTYPE and QCLASS 1.
std::string BuildDnsQuery(const TDNSHeader& header, TQueryRecordTypes types, std::string_view domain);
