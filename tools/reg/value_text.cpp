// The text reg prints for a value: its type's name and its data per type (strings,
// numbers in hexadecimal, bytes).
#include "value_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

std::string hex_bytes(const std::vector<BYTE> &data)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (BYTE byte : data) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

std::string hex_number(std::uint64_t number)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(number));
    return text;
}

} // namespace

std::string type_name(DWORD type)
{
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN:
        return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK:
        return "REG_LINK";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return hex_number(type);
    }
}

std::string data_text(DWORD type, const std::vector<BYTE> &data)
{
    const std::string bytes(data.begin(), data.end());
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_LINK:
        return bytes.substr(0, bytes.find('\0'));
    case REG_MULTI_SZ: {
        std::string text;
        std::size_t start = 0;
        while (start < bytes.size() && bytes[start] != '\0') {
            const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
            if (!text.empty())
                text += "\\0";
            text += bytes.substr(start, end - start);
            start = end + 1;
        }
        return text;
    }
    case REG_DWORD:
        if (data.size() == 4) {
            std::uint32_t number;
            std::memcpy(&number, data.data(), 4);
            return hex_number(number);
        }
        break;
    case REG_DWORD_BIG_ENDIAN:
        if (data.size() == 4)
            return hex_number(std::uint32_t{data[0]} << 24 | std::uint32_t{data[1]} << 16 |
                              std::uint32_t{data[2]} << 8 | data[3]);
        break;
    case REG_QWORD:
        if (data.size() == 8) {
            std::uint64_t number;
            std::memcpy(&number, data.data(), 8);
            return hex_number(number);
        }
        break;
    default:
        break;
    }
    return hex_bytes(data);
}
