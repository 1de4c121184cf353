#pragma once

#include <string>

namespace torven {

// printf-style formatting into a std::string; the program's texts are given as printf formats.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace torven
