// Finding the system's DNS server from a resolver configuration file, and
// the cleaning of address texts.
#include "delivery/SystemDnsServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(SystemDnsServer, ExtractAddressDigits) {
  struct Case {
    std::string text, expected;
  } cases[] = {
      {"192.0.2.1", "192.0.2.1"},
      {"DNS: 192.0.2.1 ", "192.0.2.1"},
      {"  10.0.0.1\t", "10.0.0.1"},
      {"server 10.0.0.1 (home)", "10.0.0.1"},
      {"a1:b 10.0.0.1", "10.0.0.1"},  // the digit before the colon is cut away
      {"x:y:10.0.0.1!", "10.0.0.1"},  // from the first colon on
      {"no digits here", ""},
      {"", ""},
      {":", ""},
      {"7", "7"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractAddressDigits(c.text), c.expected) << "\"" << c.text << "\"";
}

class SystemDnsServerFile : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(dir); }
  std::string Write(const std::string& content) {
    std::ofstream(path) << content;
    return path.string();
  }
  fs::path dir = fs::temp_directory_path() / ("postwick-resolv-" + std::to_string(::getpid()));
  fs::path path = (fs::create_directories(dir), dir / "resolv.conf");
};

TEST_F(SystemDnsServerFile, FirstIPv4NameServerInFileOrder) {
  struct Case {
    std::string what, content, expected;
  } cases[] = {
      {"two servers", "nameserver 192.0.2.1\nnameserver 192.0.2.2\n", "192.0.2.1"},
      {"after search and options", "search example.test\noptions ndots:2\nnameserver 192.0.2.3\n",
       "192.0.2.3"},
      {"IPv6 first", "nameserver 2001:db8::1\nnameserver fe80::1%eth0\nnameserver 192.0.2.4\n", "192.0.2.4"},
      {"IPv4-mapped IPv6", "nameserver ::ffff:192.0.2.7\n", "192.0.2.7"},
      {"comments skipped", "# nameserver 10.0.0.1\n; nameserver 10.0.0.2\nnameserver 10.0.0.3\n", "10.0.0.3"},
      {"blanks, tabs, CR LF, a comment after", "  nameserver\t192.0.2.9  # home\r\n", "192.0.2.9"},
      {"local stub resolver", "nameserver 127.0.0.53\noptions edns0\n", "127.0.0.53"},
      {"no last newline", "nameserver 192.0.2.5", "192.0.2.5"},
      {"keyword must match", "nameservers 192.0.2.1\nNameserver 192.0.2.2\n", ""},
      {"keyword without address", "nameserver\nnameserver 192.0.2.6\n", "192.0.2.6"},
      {"not an address", "nameserver 192.0.2\nnameserver 300.1.1.1\nnameserver dns.example\n", ""},
      {"only IPv6", "nameserver ::1\n", ""},
      {"no name servers", "search example.test\n", ""},
      {"empty file", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FindSystemDnsServer(Write(c.content)), c.expected) << c.what;
}

TEST_F(SystemDnsServerFile, AllServersListedAndNothingFoundIsEmpty) {
  Write("nameserver 192.0.2.1\nnameserver ::1\nnameserver 192.0.2.2\n");
  EXPECT_EQ(DetectSystemDnsServers(path), (std::vector<std::string>{"192.0.2.1", "192.0.2.2"}));
  EXPECT_EQ(FindSystemDnsServer((dir / "missing").string()), "");
  EXPECT_EQ(FindSystemDnsServer(dir.string()), "");  // a folder, not a file
}

}  // namespace
