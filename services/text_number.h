#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Joining, comparing, rounding and writing numbers exactly as the window shows
// them. Texts are GBK byte strings; an empty text stands for an absent one.

std::string concatTexts(std::initializer_list<std::string_view> parts);

// Byte-wise, unsigned, like strcmp: -1, 0 or 1.
int compareTexts(std::string_view a, std::string_view b);

// Half away from zero after a push of 1e-12 on the scaled magnitude.
double roundTo(double x, int digits = 0);

// "%d" for integers; "%.13g" with a three-digit exponent for doubles.
std::string numberToText(std::int32_t value);
std::string numberToText(double value);

// Cut toward zero to 64 bits, low 32 bits kept; no 64-bit integer gives 0.
std::int32_t truncateToInteger(double x);

template <typename Container>
std::size_t elementCount(const Container* array) {
    return array ? array->size() : 0;
}
