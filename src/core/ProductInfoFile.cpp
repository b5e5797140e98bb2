// Reading (and, for the build, scrambling) the product information file.
#include "core/ProductInfoFile.h"

#include <utility>
#include <vector>

#include "core/SettingsFile.h"
#include "platform/TextFile.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string UnscrambleLine(const std::string& line) {
  std::string plain;
  for (std::size_t i = 0; i + 1 < line.size(); i += 2) {
    const int high = HexDigit(line[i]);
    const int low = HexDigit(line[i + 1]);
    const int value = (high < 0 || low < 0) ? 0 : high * 16 + low;
    plain += static_cast<char>(value ^ kProductInfoKey);
  }
  return plain;
}

std::string ScrambleLine(const std::string& line) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string scrambled;
  for (const char c : line) {
    const unsigned value = static_cast<unsigned char>(c) ^ kProductInfoKey;
    scrambled += kDigits[value >> 4];
    scrambled += kDigits[value & 0x0F];
  }
  return scrambled;
}

std::string ScrambleProductInfo(const std::string& plainText) {
  std::vector<std::string> lines = os::SplitLines(plainText);
  for (auto& line : lines) line = ScrambleLine(line);
  return os::JoinLines(lines);
}

ProductInfo ParseProductInfo(const std::string& fileText) {
  std::vector<std::string> lines = os::SplitLines(fileText);
  if (!lines.empty() && lines.front().find('=') == std::string::npos) {
    for (auto& line : lines) line = UnscrambleLine(line);
  }
  SettingsFile file;
  file.SetLines(std::move(lines));
  ProductInfo info;
  info.ProductName = file.Value("PROGNAME");
  info.ProgPage = file.Value("PROGPAGE");
  info.HomePage = file.Value("HOMEPAGE");
  info.Email = file.Value("EMAIL");
  info.Version = file.Value("VERSION");
  info.VersionDate = file.Value("VERSIONDATE");
  info.Copyright = file.Value("COPYRIGHT");
  return info;
}

ProductInfo LoadProductInfo(const std::string& path) {
  std::string text;
  if (!os::ReadWholeFile(path, text)) return {};
  return ParseProductInfo(text);
}
