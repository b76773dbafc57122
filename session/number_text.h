#pragma once
// How dialogs show and read numbers.

#include <string>

namespace meshara {

// "%g": six significant digits.
std::string FormatNumber(float value);

// The whole text must be one finite number that fits a float; surrounding
// blanks are allowed. False leaves value untouched.
bool ParseNumber(const std::string& text, float& value);

}  // namespace meshara
