// Numbers as automation text: locale-independent decimal reading and writing.
#pragma once

#include <oleauto.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvane::automation {

struct ParsedNumber {
    enum class Status { ok, invalid, overflow } status = Status::invalid;
    // Whole numbers without a fraction or exponent that fit 64 bits are kept exactly.
    bool exact_integer = false;
    bool negative = false;
    std::uint64_t magnitude = 0;
    double value = 0.0; // every number that parsed, exact or not
};

// Reads [blanks][sign]digits[.digits][(e|E)[sign]digits][blanks]; a number needs
// at least one mantissa digit. Too large for a double → overflow; too small → zero.
ParsedNumber parse_number(const OLECHAR *text, std::size_t length);

std::u16string format_signed(std::int64_t value);
std::u16string format_unsigned(std::uint64_t value);
// significant_digits: 7 for single, 15 for double precision; exponents as "1E+20".
std::u16string format_real(double value, int significant_digits);

// True when text (blanks around it allowed) equals word, ignoring ASCII case.
bool equals_word(const OLECHAR *text, std::size_t length, const char *word);

} // namespace morvane::automation
