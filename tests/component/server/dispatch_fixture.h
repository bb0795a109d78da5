// A tracker created from a registered module in a registry of the test's own,
// for the late-bound tests.
#pragma once

#include "registered_module.h"

#include <gtest/gtest.h>

inline DISPID id_of(IDispatch *dispatch, const char16_t *name, HRESULT *result = nullptr)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id);
    if (result)
        *result = hr;
    return id;
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(registered.registration(), S_OK);
        tracker = registered.module().create_tracker();
        ASSERT_NE(tracker, nullptr);
    }
    void TearDown() override
    {
        if (tracker)
            tracker->Release();
    }

    morvane::test::RegisteredModule registered{MORVANE_MODULE_PATH};
    IMorvane *tracker = nullptr;
};

