// Small text helpers shared by the settings files, the operation log, the
// delivery engine and the warnings. ASCII case folding is in AsciiText.h.
#pragma once

#include <cstddef>
#include <string>

#include "platform/DateTime.h"

// Removes leading and trailing space characters; tabs and other white space stay.
std::string Trim(const std::string& text);

// "1" for true, "0" for false.
std::string FlagToText(bool flag);
// True only for exactly "1" (" 1", "01" and "true" are false).
bool TextToFlag(const std::string& text);

// The text without its last n characters; empty when n reaches its length.
std::string DropLast(const std::string& text, std::size_t n);

// The absolute difference of two date-times in whole seconds, rounded.
long long SecondsBetween(TDateTime a, TDateTime b);

