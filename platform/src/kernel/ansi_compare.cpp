// Case-insensitive comparison of ANSI strings in the Windows word-sort order.
#include <winbase.h>

#include <string_view>

namespace {

// Hyphen and apostrophe are left out of the first comparison, so that words
// such as "coop" and "co-op" sort next to each other; they only break ties.
bool is_word_joiner(unsigned char byte)
{
    return byte == '-' || byte == '\'';
}

// Sort weight of a byte: control characters first, then the other punctuation
// and symbols in the Windows order, then digits, then letters without regard
// to case. Bytes of non-ASCII characters follow in code point order, which the
// byte order of UTF-8 preserves.
int weight(unsigned char byte)
{
    constexpr std::string_view symbols = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
    if (byte >= 'A' && byte <= 'Z')
        byte = static_cast<unsigned char>(byte - 'A' + 'a');
    if (byte >= 'a' && byte <= 'z')
        return 0x300 + (byte - 'a');
    if (byte >= '0' && byte <= '9')
        return 0x200 + (byte - '0');
    if (byte >= 0x80)
        return 0x400 + byte;
    const auto symbol = symbols.find(static_cast<char>(byte));
    return symbol == std::string_view::npos ? byte : 0x100 + static_cast<int>(symbol);
}

int sign(int difference)
{
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

// First level: every byte but hyphens and apostrophes, by weight.
int compare_without_joiners(const unsigned char *a, const unsigned char *b)
{
    for (;;) {
        while (*a != '\0' && is_word_joiner(*a))
            ++a;
        while (*b != '\0' && is_word_joiner(*b))
            ++b;
        if (*a == '\0' || *b == '\0')
            return sign(int(*a != '\0') - int(*b != '\0'));
        if (const int order = sign(weight(*a) - weight(*b)); order != 0)
            return order;
        ++a;
        ++b;
    }
}

// Tie break between strings equal but for their hyphens and apostrophes: the
// string without a further joiner sorts first, then the one whose joiner
// stands later, then apostrophe before hyphen.
int compare_joiners(const unsigned char *a, const unsigned char *b)
{
    const unsigned char *next_a = a;
    const unsigned char *next_b = b;
    for (;;) {
        while (*next_a != '\0' && !is_word_joiner(*next_a))
            ++next_a;
        while (*next_b != '\0' && !is_word_joiner(*next_b))
            ++next_b;
        if (*next_a == '\0' || *next_b == '\0')
            return sign(int(*next_a != '\0') - int(*next_b != '\0'));
        if (const auto position_a = next_a - a, position_b = next_b - b; position_a != position_b)
            return position_a > position_b ? -1 : 1;
        if (*next_a != *next_b)
            return *next_a == '\'' ? -1 : 1;
        ++next_a;
        ++next_b;
    }
}

} // namespace

// Returns -1, 0 or 1; a null string sorts before every other string.
EXTERN_C int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2)
{
    if (lpString1 == nullptr || lpString2 == nullptr)
        return sign(int(lpString1 != nullptr) - int(lpString2 != nullptr));
    const auto *a = reinterpret_cast<const unsigned char *>(lpString1);
    const auto *b = reinterpret_cast<const unsigned char *>(lpString2);
    if (const int order = compare_without_joiners(a, b); order != 0)
        return order;
    return compare_joiners(a, b);
}
