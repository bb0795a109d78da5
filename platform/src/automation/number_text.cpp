// Reading and writing numbers as automation text without regard to the locale: blanks,
// sign, digits and exponent checked by hand, range decided before conversion.
#include "automation/number_text.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace morvane::automation {

namespace {

bool is_blank(OLECHAR c) { return c == u' ' || c == u'\t'; }
bool is_digit(OLECHAR c) { return c >= u'0' && c <= u'9'; }

// The text without its surrounding blanks.
std::u16string_view trimmed(const OLECHAR *text, std::size_t length)
{
    std::size_t first = 0;
    while (first < length && is_blank(text[first]))
        ++first;
    while (length > first && is_blank(text[length - 1]))
        --length;
    return {text + first, length - first};
}

std::u16string widen(const char *first, const char *last) { return std::u16string(first, last); }

// Decides between overflow and underflow for a number that a double cannot hold:
// the power of ten of its first non-zero digit tells which side it lies on.
bool is_too_small(std::u16string_view mantissa, long long exponent)
{
    long long integer_digits = 0;
    const std::size_t point = mantissa.find(u'.');
    const std::u16string_view integer = mantissa.substr(0, point);
    for (OLECHAR c : integer) {
        if (integer_digits > 0 || c != u'0')
            ++integer_digits;
    }
    if (integer_digits > 0)
        return integer_digits - 1 + exponent < 0;
    long long power = -1;
    if (point != std::u16string_view::npos) {
        for (OLECHAR c : mantissa.substr(point + 1)) {
            if (c != u'0')
                break;
            --power;
        }
    }
    return power + exponent < 0;
}

} // namespace

ParsedNumber parse_number(const OLECHAR *text, std::size_t length)
{
    ParsedNumber result;
    if (text == nullptr)
        return result;
    const std::u16string_view s = trimmed(text, length);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        result.negative = s[i] == u'-';
        ++i;
    }
    const std::size_t mantissa_start = i;
    std::size_t digits = 0;
    bool fraction = false;
    bool exact = true;
    std::uint64_t magnitude = 0;
    for (; i < s.size(); ++i) {
        if (is_digit(s[i])) {
            ++digits;
            if (!fraction && exact &&
                (__builtin_mul_overflow(magnitude, 10u, &magnitude) ||
                 __builtin_add_overflow(magnitude, static_cast<unsigned>(s[i] - u'0'), &magnitude)))
                exact = false;
        } else if (s[i] == u'.' && !fraction) {
            fraction = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return result;
    const std::u16string_view mantissa = s.substr(mantissa_start, i - mantissa_start);
    long long exponent = 0;
    bool has_exponent = false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        has_exponent = true;
        ++i;
        bool exponent_negative = false;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
            exponent_negative = s[i] == u'-';
            ++i;
        }
        const std::size_t exponent_start = i;
        for (; i < s.size() && is_digit(s[i]); ++i) {
            if (exponent < 100000) // far beyond any double; stops growth
                exponent = exponent * 10 + (s[i] - u'0');
        }
        if (i == exponent_start)
            return result;
        if (exponent_negative)
            exponent = -exponent;
    }
    if (i != s.size())
        return result;

    result.status = ParsedNumber::Status::ok;
    if (exact && !fraction && !has_exponent) {
        result.exact_integer = true;
        result.magnitude = magnitude;
        result.value = static_cast<double>(magnitude);
        if (result.negative)
            result.value = -result.value;
        return result;
    }
    // The validated text is plain ASCII; the C library reads it without a locale.
    std::string ascii(s.begin() + static_cast<std::ptrdiff_t>(mantissa_start), s.end());
    if (result.negative)
        ascii.insert(ascii.begin(), '-');
    double value = 0.0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (!is_too_small(mantissa, exponent)) {
            result.status = ParsedNumber::Status::overflow;
            return result;
        }
        value = result.negative ? -0.0 : 0.0;
    } else if (ec != std::errc() || end != ascii.data() + ascii.size()) {
        result.status = ParsedNumber::Status::invalid;
        return result;
    }
    result.value = value;
    return result;
}

std::u16string format_signed(std::int64_t value)
{
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return widen(buffer, end);
}

std::u16string format_unsigned(std::uint64_t value)
{
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return widen(buffer, end);
}

std::u16string format_real(double value, int significant_digits)
{
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significant_digits);
    std::u16string text = widen(buffer, end);
    for (char16_t &c : text) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return text;
}

bool equals_word(const OLECHAR *text, std::size_t length, const char *word)
{
    if (text == nullptr)
        return false;
    const std::u16string_view s = trimmed(text, length);
    if (s.size() != std::strlen(word))
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        OLECHAR c = s[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<OLECHAR>(c - u'A' + u'a');
        if (c != static_cast<unsigned char>(word[i]))
            return false;
    }
    return true;
}

} // namespace morvane::automation
