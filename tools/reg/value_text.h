// How reg shows a value's type and data.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// REG_SZ, REG_DWORD, ... or the number in hexadecimal for a type without a name.
std::string type_name(DWORD type);

// Strings without their terminator (the parts of a REG_MULTI_SZ joined by
// "\0"), numbers in hexadecimal, anything else as hexadecimal bytes.
std::string data_text(DWORD type, const std::vector<BYTE> &data);
