// A property written and read back through IDispatch::Invoke, as a late-bound
// client does.
#pragma once

#include <windows.h>

#include <morvane.h>

inline bool write_and_read_by_name(IMorvane *tracker, DISPID member, LONG value)
{
    VARIANT written, read;
    VariantInit(&written);
    VariantInit(&read);
    written.vt = VT_I4;
    written.lVal = value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS write{&written, &put, 1, 1}, none{nullptr, nullptr, 0, 0};
    return tracker->Invoke(member, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, nullptr, nullptr) == S_OK &&
           tracker->Invoke(member, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &read, nullptr, nullptr) == S_OK &&
           read.vt == VT_I4 && read.lVal == value;
}
