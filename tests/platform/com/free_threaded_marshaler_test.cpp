// The free-threaded marshaler: its aggregation rules and in-process marshaling through a stream.
#include "counting_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// An aggregating object that hands IMarshal queries to the marshaler it holds.
struct Outer final : CountingUnknown {
    IUnknown *marshaler = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        return riid == IID_IMarshal ? marshaler->QueryInterface(riid, ppv) : CountingUnknown::QueryInterface(riid, ppv);
    }
};

// A stream over a byte vector, used through its ISequentialStream members.
struct MemoryStream final : Counting<ISequentialStream, IID_IUnknown> {
    std::vector<BYTE> bytes;
    size_t position = 0;
    bool fail_next_write = false;

    HRESULT STDMETHODCALLTYPE Read(void *pv, ULONG cb, ULONG *read) override
    {
        const size_t n = std::min<size_t>(cb, bytes.size() - position);
        std::copy_n(bytes.begin() + std::ptrdiff_t(position), n, static_cast<BYTE *>(pv));
        position += n;
        *read = static_cast<ULONG>(n);
        return n == cb ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void *pv, ULONG cb, ULONG *written) override
    {
        if (std::exchange(fail_next_write, false))
            return E_ACCESSDENIED;
        bytes.insert(bytes.end(), static_cast<const BYTE *>(pv), static_cast<const BYTE *>(pv) + cb);
        *written = cb;
        return S_OK;
    }
    IStream *stream() { return reinterpret_cast<IStream *>(static_cast<ISequentialStream *>(this)); }
    IStream *rewound() { return position = 0, stream(); }
};

TEST(FreeThreadedMarshaler, AggregatedViewCountsOnTheOuterAndOwnUnknownOnItself)
{
    Outer outer;
    EXPECT_EQ(CoCreateFreeThreadedMarshaler(&outer, nullptr), E_INVALIDARG);
    for (IUnknown *controlling : {static_cast<IUnknown *>(&outer), static_cast<IUnknown *>(nullptr)}) {
        IUnknown *inner = nullptr;
        ASSERT_EQ(CoCreateFreeThreadedMarshaler(controlling, &inner), S_OK);
        void *view = nullptr, *identity = nullptr, *none = &none;
        ASSERT_EQ(inner->QueryInterface(IID_IMarshal, &view), S_OK);
        EXPECT_EQ(outer.references.load(), controlling == &outer ? 2u : 1u) << "the reference handed out is the controller's";
        ASSERT_EQ(inner->QueryInterface(IID_IUnknown, &identity), S_OK);
        EXPECT_EQ(identity, inner) << "the inner object's own unknown, not the outer";
        EXPECT_EQ(inner->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(inner->QueryInterface(IID_IMarshal, nullptr), E_POINTER);
        static_cast<IMarshal *>(view)->Release();
        inner->Release();
        EXPECT_EQ(outer.references.load(), 1u);
        EXPECT_EQ(inner->Release(), 0u) << "the inner object counts only its own references";
    }
}

class FreeThreadedMarshaling : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoCreateFreeThreadedMarshaler(&outer, &outer.marshaler), S_OK);
        ASSERT_EQ(outer.marshaler->QueryInterface(IID_IMarshal, reinterpret_cast<void **>(&marshal)), S_OK);
        marshal->Release(); // keep the view without a reference on the outer
    }
    void TearDown() override { outer.marshaler->Release(); }

    HRESULT marshal_outer(DWORD flags, DWORD context = MSHCTX_INPROC, REFIID iid = IID_IUnknown)
    {
        stream.bytes.clear();
        return marshal->MarshalInterface(stream.stream(), iid, &outer, context, nullptr, flags);
    }

    Outer outer;
    IMarshal *marshal = nullptr;
    MemoryStream stream;
};

// Normal data holds one reference until unmarshaled, table data until released, weak data none.
TEST_F(FreeThreadedMarshaling, EachKindOfDataHoldsItsReferences)
{
    // Flags, interface, unmarshals and their result, references after marshaling and at the end.
    const std::tuple<DWORD, REFIID, int, HRESULT, ULONG, ULONG> cases[] = {
        {MSHLFLAGS_NORMAL, IID_IMarshal, 1, S_OK, 2, 2},
        {MSHLFLAGS_NORMAL, IID_IDispatch, 1, E_NOINTERFACE, 2, 1},
        {MSHLFLAGS_TABLESTRONG, IID_IUnknown, 3, S_OK, 2, 4},
        {MSHLFLAGS_TABLEWEAK, IID_IUnknown, 0, S_OK, 1, 1},
    };
    for (const auto &[flags, iid, unmarshals, unmarshaled, marshaled_count, final_count] : cases) {
        outer.references = 1;
        ASSERT_EQ(marshal_outer(flags), S_OK);
        EXPECT_EQ(stream.bytes.size(), 16u) << "as much as announced";
        EXPECT_EQ(outer.references.load(), marshaled_count) << flags;
        for (int i = 0; i < unmarshals; ++i) {
            void *pv = &pv;
            EXPECT_EQ(marshal->UnmarshalInterface(stream.rewound(), iid, &pv), unmarshaled);
            void *const wanted = iid == IID_IMarshal ? static_cast<void *>(marshal) : &outer;
            EXPECT_EQ(pv, unmarshaled == S_OK ? wanted : nullptr);
        }
        if (flags != MSHLFLAGS_NORMAL) {
            EXPECT_EQ(marshal->ReleaseMarshalData(stream.rewound()), S_OK);
        }
        EXPECT_EQ(outer.references.load(), final_count) << flags;
    }
    outer.references = 1;
}

// Only in-process contexts are described and marshaled; bad data is refused and nothing is kept on failure.
TEST_F(FreeThreadedMarshaling, DescribesInProcessMarshalingOnlyAndRefusesBadData)
{
    for (DWORD context : {MSHCTX_INPROC, MSHCTX_CROSSCTX, MSHCTX_LOCAL, MSHCTX_NOSHAREDMEM, MSHCTX_DIFFERENTMACHINE}) {
        const bool in_process = context == MSHCTX_INPROC || context == MSHCTX_CROSSCTX;
        CLSID clsid = IID_IMarshal;
        DWORD size = 7;
        EXPECT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, context, nullptr, 0, &clsid),
                  in_process ? S_OK : E_NOTIMPL);
        EXPECT_EQ(clsid, in_process ? CLSID_InProcFreeMarshaler : CLSID_NULL);
        EXPECT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, context, nullptr, 0, &size),
                  in_process ? S_OK : E_NOTIMPL);
        EXPECT_EQ(size, in_process ? 16u : 0u) << context;
        EXPECT_TRUE(in_process || marshal_outer(MSHLFLAGS_NORMAL, context) == E_NOTIMPL) << context;
    }
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(marshal_outer(0x10), E_INVALIDARG);
    EXPECT_EQ(marshal->MarshalInterface(nullptr, IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(marshal->MarshalInterface(stream.stream(), IID_IUnknown, nullptr, MSHCTX_INPROC, nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(marshal_outer(MSHLFLAGS_NORMAL, MSHCTX_INPROC, IID_IDispatch), E_NOINTERFACE);
    stream.fail_next_write = true;
    EXPECT_EQ(marshal_outer(MSHLFLAGS_NORMAL), E_ACCESSDENIED);
    EXPECT_EQ(outer.references.load(), 1u);

    void *pv = &outer;
    EXPECT_EQ(marshal->UnmarshalInterface(stream.rewound(), IID_IUnknown, &pv), E_INVALIDARG) << "empty";
    EXPECT_EQ(pv, nullptr);
    for (const std::size_t at : {0, 4}) { // our data but for its signature or its lifetime
        ASSERT_EQ(marshal_outer(MSHLFLAGS_TABLEWEAK), S_OK);
        stream.bytes[at] = 0x33;
        EXPECT_EQ(marshal->UnmarshalInterface(stream.rewound(), IID_IUnknown, &pv), E_INVALIDARG) << at;
        EXPECT_EQ(marshal->ReleaseMarshalData(stream.rewound()), E_INVALIDARG) << at;
    }
    EXPECT_EQ(marshal->UnmarshalInterface(nullptr, IID_IUnknown, &pv), E_INVALIDARG);
    EXPECT_EQ(marshal->UnmarshalInterface(stream.stream(), IID_IUnknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(outer.references.load(), 1u);
}

} // namespace
