// The product information file, plain and scrambled.
#include "core/ProductInfoFile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempFolder.h"

using testing_support::TempFolder;

namespace {

const std::string kPlain =
    "PROGNAME=Postwick\r\n"
    "VERSION=1.0.0\r\n"
    "VERSIONDATE=December 10, 2026\r\n"
    "COPYRIGHT=Copyright (C) 2026 Someone\r\n"
    "PROGPAGE=https://postwick.example.org/\r\n"
    "HOMEPAGE=https://www.example.org/\r\n"
    "EMAIL=support@postwick.example.org\r\n";

void ExpectAllValues(const ProductInfo& info) {
  EXPECT_EQ(info.ProductName, "Postwick");
  EXPECT_EQ(info.Version, "1.0.0");
  EXPECT_EQ(info.VersionDate, "December 10, 2026");
  EXPECT_EQ(info.Copyright, "Copyright (C) 2026 Someone");
  EXPECT_EQ(info.ProgPage, "https://postwick.example.org/");
  EXPECT_EQ(info.HomePage, "https://www.example.org/");
  EXPECT_EQ(info.Email, "support@postwick.example.org");
}

std::string HexOf(const std::string& plain) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : plain) {
    const unsigned value = static_cast<unsigned char>(c) ^ kProductInfoKey;
    hex += kDigits[value >> 4];
    hex += kDigits[value & 15];
  }
  return hex;
}

TEST(ProductInfoFile, PlainFileWhenTheFirstLineHasAnEqualsSign) {
  ExpectAllValues(ParseProductInfo(kPlain));
  const ProductInfo info = ParseProductInfo("progname=Lower Case Keys\nversion=2\n");
  EXPECT_EQ(info.ProductName, "Lower Case Keys");
  EXPECT_EQ(info.Version, "2");
  EXPECT_EQ(info.Email, "");
}

TEST(ProductInfoFile, ScrambledFileIsUnscrambledLineByLine) {
  // Written independently of ScrambleLine, in lower-case hexadecimal.
  const std::string scrambled =
      HexOf("PROGNAME=Postwick") + "\r\n" + HexOf("EMAIL=https://example.org/contact");
  const ProductInfo info = ParseProductInfo(scrambled);
  EXPECT_EQ(info.ProductName, "Postwick");
  EXPECT_EQ(info.Email, "https://example.org/contact");
  ExpectAllValues(ParseProductInfo(ScrambleProductInfo(kPlain)));
}

TEST(ProductInfoFile, BadPairCountsAsZero) {
  const std::string key(1, static_cast<char>(kProductInfoKey));  // 0 XOR key
  const std::pair<std::string, std::string> cases[] = {
      {HexOf("AB"), "AB"},
      {HexOf("A") + "zz" + HexOf("B"), "A" + key + "B"},
      {HexOf("A") + "4g", "A" + key},
      {HexOf("AB") + "7", "AB"},  // an odd last digit is dropped
      {"", ""},
  };
  for (const auto& [line, plain] : cases) EXPECT_EQ(UnscrambleLine(line), plain) << line;
}

TEST(ProductInfoFile, ScrambledBytesCanHoldAnything) {
  const std::string awkward = "A=\r\n\t\xff";
  EXPECT_EQ(UnscrambleLine(ScrambleLine(awkward)), awkward);
  EXPECT_EQ(ScrambleLine("P").size(), 2u);
}

TEST(ProductInfoFile, MissingFileGivesEmptyValues) {
  TempFolder folder;
  const ProductInfo info = LoadProductInfo(folder.File("Postwick.sys"));
  EXPECT_EQ(info.ProductName, "");
  EXPECT_EQ(info.ProgPage, "");
  TempFolder::Write(folder.File("Postwick.sys"), ScrambleProductInfo(kPlain));
  ExpectAllValues(LoadProductInfo(folder.File("Postwick.sys")));
}

// The file shipped with the program is built from data/Postwick.sys.txt.
TEST(ProductInfoFile, ShippedSourceNamesTheProduct) {
  const ProductInfo info = LoadProductInfo(std::string(POSTWICK_SOURCE_DIR) + "/data/Postwick.sys.txt");
  EXPECT_EQ(info.ProductName, "Postwick");
  EXPECT_EQ(info.Version, "1.0.0");
  EXPECT_NE(info.Email.find('@'), std::string::npos);
}

}  // namespace
