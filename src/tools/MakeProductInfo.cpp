// Build step: scrambles the plain product information text into the
// product file shipped beside the executable, and checks that the program
// reads the result back to the same values.
#include <cstdio>
#include <string>

#include "core/ProductInfoFile.h"
#include "platform/TextFile.h"

namespace {

bool SameValues(const ProductInfo& a, const ProductInfo& b) {
  return a.ProductName == b.ProductName && a.ProgPage == b.ProgPage && a.HomePage == b.HomePage &&
         a.Email == b.Email && a.Version == b.Version && a.VersionDate == b.VersionDate &&
         a.Copyright == b.Copyright;
}

int Fail(const char* what, const std::string& path) {
  std::fprintf(stderr, "MakeProductInfo: %s: %s\n", what, path.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: MakeProductInfo PLAIN_TEXT_FILE OUTPUT_FILE\n");
    return 2;
  }
  const std::string input = argv[1];
  const std::string output = argv[2];
  std::string plain;
  if (!os::ReadWholeFile(input, plain)) return Fail("cannot read", input);
  const ProductInfo expected = ParseProductInfo(plain);
  if (expected.ProductName.empty()) return Fail("no PROGNAME line in", input);
  const std::string scrambled = ScrambleProductInfo(plain);
  if (!SameValues(ParseProductInfo(scrambled), expected))
    return Fail("scrambled text reads back wrong", input);
  if (!os::WriteFileAtomically(output, scrambled)) return Fail("cannot write", output);
  return 0;
}
