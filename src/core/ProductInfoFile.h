// The product information file delivered beside the executable: the
// product's name, version, pages and contact, as key=value lines, stored
// plain or scrambled (each line as hexadecimal pairs of its bytes XOR a
// one-byte key).
#pragma once

#include <string>

// The product file's name in the executable's folder.
inline constexpr const char* kProductInfoFileName = "Postwick.sys";

// The key of scrambled product files; the delivered file and the program
// must agree.
inline constexpr unsigned char kProductInfoKey = 0xA5;

// Every value is empty when its key or the whole file is missing.
struct ProductInfo {
  std::string ProductName;  // PROGNAME
  std::string ProgPage;     // PROGPAGE: the product's web page
  std::string HomePage;     // HOMEPAGE: the maker's other products
  std::string Email;        // EMAIL: an address, or a web page when it has no "@"
  std::string Version;      // VERSION
  std::string VersionDate;  // VERSIONDATE
  std::string Copyright;    // COPYRIGHT
};

// Reads the file; a missing or unreadable file gives empty values.
ProductInfo LoadProductInfo(const std::string& path);
// The values of a file's text. When its first line holds no "=", every line
// is unscrambled first.
ProductInfo ParseProductInfo(const std::string& fileText);

// One scrambled line back to plain text; a pair that is not hexadecimal
// counts as 0, an odd last digit is dropped.
std::string UnscrambleLine(const std::string& line);
// One plain line as upper-case hexadecimal pairs.
std::string ScrambleLine(const std::string& line);
// A whole plain file text scrambled line by line, lines ended by CR LF.
std::string ScrambleProductInfo(const std::string& plainText);
