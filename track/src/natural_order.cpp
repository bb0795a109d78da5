// Names compared with their digit runs as numbers.
#include "natural_order.h"

#include <cctype>

namespace morvane::track {

namespace {

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

} // namespace

bool natural_less(const std::string &a, const std::string &b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            // Leading zeros do not count; then the longer run is the larger number.
            while (i < a.size() && a[i] == '0')
                ++i;
            while (j < b.size() && b[j] == '0')
                ++j;
            const std::size_t start_a = i;
            const std::size_t start_b = j;
            while (i < a.size() && is_digit(a[i]))
                ++i;
            while (j < b.size() && is_digit(b[j]))
                ++j;
            const std::string run_a = a.substr(start_a, i - start_a);
            const std::string run_b = b.substr(start_b, j - start_b);
            if (run_a.size() != run_b.size())
                return run_a.size() < run_b.size();
            if (run_a != run_b)
                return run_a < run_b;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b; // equal but for leading zeros: keep a strict order
}

} // namespace morvane::track
