#pragma once

#include <cstddef>
#include <string_view>

// Walking GBK texts character by character: a byte from 0x80 up starts a
// two-byte character whose second byte may equal an ASCII byte such as "\" or
// "]", and must never be taken for one.
namespace gbk {

inline bool isLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Length in bytes of the character that starts at `pos` (1 or 2; 1 for a lead
// byte at the very end).
std::size_t charLength(std::string_view text, std::size_t pos);

// Position of the first / last single-byte character `c`, or npos.
std::size_t find(std::string_view text, char c, std::size_t from = 0);
std::size_t findLast(std::string_view text, char c);

// Equal apart from the case of ASCII letters; the two bytes of a two-byte
// character always compare exactly.
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

// The longest prefix of at most `maxBytes` bytes that does not split a
// two-byte character.
std::string_view cutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// The text without its leading bytes 0x01..0x20 (blanks and control bytes).
std::string_view skipLeadingControls(std::string_view text);

}  // namespace gbk
