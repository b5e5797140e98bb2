// RFC 2047 encoded words for the header texts of relayed messages, in the
// charset the text came in or, for text that came without one, the charset
// that the user's language calls for; and the conversion of Japanese text
// from the local code page (Shift-JIS) to ISO-2022-JP.
#pragma once

#include <string>
#include <string_view>

// The character sets header texts are labelled with; which one follows the
// user's language.
enum class HeaderCharset { Latin1, Gb2312, Big5, Iso2022Jp, EucKr };

// The charset of a locale name as LC_ALL, LC_CTYPE or LANG give it
// ("zh_CN.UTF-8", "ja_JP", "de_DE@euro"): zh_CN and zh_SG GB2312, other
// Chinese Big5, ja ISO-2022-JP, ko EUC-KR, anything else ISO-8859-1.
HeaderCharset CharsetForLocale(std::string_view localeName);

// The first non-empty of LC_ALL, LC_CTYPE and LANG; empty when none is set.
std::string UserLocaleName();
HeaderCharset UserHeaderCharset();

// "ISO-8859-1", "GB2312", "Big5", "ISO-2022-JP" or "EUC-KR".
const char* CharsetName(HeaderCharset charset);

// True when the text holds a byte outside printable ASCII (TAB allowed).
bool NeedsEncoding(std::string_view text);

// Unstructured text (Subject, Organization): the words from the first to the
// last one that needs encoding become encoded words; plain words around them
// stay as they are. Text that needs no encoding comes back unchanged.
// `charset` names the charset the text is in: ISO-2022-JP means Shift-JIS
// text, sent converted; GB2312, Big5, EUC-KR and UTF-8 text is split only
// between characters.
std::string EncodeHeaderText(const std::string& text, std::string_view charset);
std::string EncodeHeaderText(const std::string& text, HeaderCharset charset);

// A display name that needs encoding becomes encoded words as a whole, so no
// special character of it stays outside them; others come back unchanged.
std::string EncodeHeaderPhrase(const std::string& text, std::string_view charset);
std::string EncodeHeaderPhrase(const std::string& text, HeaderCharset charset);

// Shift-JIS to ISO-2022-JP (JIS X 0208 between ESC $ B and ESC ( B), ending
// in ASCII mode. Half-width katakana become their full-width forms;
// characters ISO-2022-JP cannot carry become "?".
std::string ShiftJisToIso2022Jp(std::string_view text);
