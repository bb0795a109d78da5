// The type library tests' helpers: text, loading, the component's library and IMorvane.
#pragma once

#include "scratch_folder.h" // also brings <filesystem>, <string> and <vector>
#include "typelib_walk.h"     // also brings <windows.h>

#include <morvane.h>

#include <gtest/gtest.h>

namespace typelib_test {

using namespace test_support;

inline std::string narrow(const OLECHAR *text)
{
    return text ? std::string(text, text + std::char_traits<char16_t>::length(text)) : std::string();
}

// A number as a VT_I4 or VT_R8 variant.
inline VARIANT of(VARTYPE vt, double value)
{
    VARIANT v{};
    v.vt = vt;
    return vt == VT_I4 ? (v.lVal = static_cast<LONG>(value), v) : (v.dblVal = value, v);
}

// The component's library, read from memory, and its description of IMorvane.
class ComponentLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(load_memory(read_file(MORVANE_TYPELIB), &library_), S_OK);
        ASSERT_EQ(library_->GetTypeInfoOfGuid(IID_IMorvane, &info_), S_OK);
    }
    void TearDown() override
    {
        SetErrorInfo(0, nullptr);
        info_->Release();
        if (library_)
            library_->Release();
    }

    ITypeLib *library_ = nullptr;
    ITypeInfo *info_ = nullptr;
};

} // namespace typelib_test
