// Length-prefixed UTF-16 strings. A string's block holds, in this order, four
// bytes of padding (so that the characters are 8-byte aligned), the 32-bit byte
// length, the characters, and one zero character that is not counted.
#include <oleauto.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
constexpr std::size_t header_size = 8;
constexpr std::size_t prefix_offset = 4;
constexpr std::size_t terminator_size = sizeof(OLECHAR);
// The prefix and the terminator must fit in 32 bits together with the text.
constexpr std::uint64_t max_byte_length = UINT32_MAX - prefix_offset - terminator_size;

char *block_of(BSTR s) { return reinterpret_cast<char *>(s) - header_size; }

// A new string of byte_length bytes copied from source (if any), zero-filled otherwise.
BSTR allocate(const void *source, std::uint64_t byte_length)
{
    if (byte_length > max_byte_length)
        return nullptr;
    const auto n = static_cast<std::size_t>(byte_length);
    auto *block = static_cast<char *>(std::malloc(header_size + n + terminator_size));
    if (block == nullptr)
        return nullptr;
    const auto prefix = static_cast<std::uint32_t>(n);
    std::memset(block, 0, prefix_offset);
    std::memcpy(block + prefix_offset, &prefix, sizeof prefix);
    char *text = block + header_size;
    if (source != nullptr)
        std::memcpy(text, source, n);
    else
        std::memset(text, 0, n);
    std::memset(text + n, 0, terminator_size);
    return reinterpret_cast<BSTR>(text);
}
} // namespace

EXTERN_C BSTR SysAllocString(const OLECHAR *psz)
{
    if (psz == nullptr)
        return nullptr;
    std::uint64_t length = 0;
    while (psz[length] != 0)
        ++length;
    return allocate(psz, length * sizeof(OLECHAR));
}

EXTERN_C BSTR SysAllocStringLen(const OLECHAR *strIn, UINT ui)
{
    return allocate(strIn, std::uint64_t{ui} * sizeof(OLECHAR));
}

EXTERN_C BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return allocate(psz, len); }

EXTERN_C void SysFreeString(BSTR bstrString)
{
    if (bstrString != nullptr)
        std::free(block_of(bstrString));
}

EXTERN_C UINT SysStringByteLen(BSTR bstr)
{
    if (bstr == nullptr)
        return 0;
    std::uint32_t prefix;
    std::memcpy(&prefix, block_of(bstr) + prefix_offset, sizeof prefix);
    return prefix;
}

EXTERN_C UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
