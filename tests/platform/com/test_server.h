// The in-process server that the activation tests register and load.
#pragma once

#include <windows.h>

// The class the server offers.
constexpr CLSID kTestThingClass = {0x6F1D2C3A, 0x8B4E, 0x4F50, {0x9A, 0x61, 0x7B, 0x8C, 0x9D, 0x0E, 0x1F, 0x23}};
#define TEST_THING_CLASS_KEY "{6F1D2C3A-8B4E-4F50-9A61-7B8C9D0E1F23}"

constexpr IID kTestThingInterface = {0x3C0A5E71, 0x1D2B, 0x4E8F, {0xB3, 0x94, 0x05, 0x16, 0x27, 0x38, 0x49, 0x5A}};

// Its instances are its class object, so that any of them can lock the server.
struct ITestThing : IClassFactory {
    virtual LONG STDMETHODCALLTYPE Value() = 0;
};
