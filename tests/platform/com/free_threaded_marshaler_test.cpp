// The free-threaded marshaler: aggregation rules (its own IUnknown and count, an
// IMarshal view that belongs to the controlling unknown) and in-process marshaling
// of interface pointers through a stream.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

// An aggregating object in the usual form: it holds the marshaler's own unknown
// and hands IMarshal queries to it.
struct Outer final : IUnknown {
    ULONG count = 1;
    IUnknown *marshaler = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        if (riid == IID_IMarshal && marshaler)
            return marshaler->QueryInterface(riid, ppv);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; } // lives on the stack
};

// A stream over a byte vector, used through its ISequentialStream members.
struct MemoryStream final : ISequentialStream {
    std::vector<BYTE> bytes;
    size_t position = 0;
    bool fail_writes = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void *pv, ULONG cb, ULONG *read) override
    {
        const size_t n = std::min<size_t>(cb, bytes.size() - position);
        if (n > 0)
            std::memcpy(pv, bytes.data() + position, n);
        position += n;
        *read = static_cast<ULONG>(n);
        return n == cb ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void *pv, ULONG cb, ULONG *written) override
    {
        if (fail_writes)
            return E_ACCESSDENIED;
        const auto *p = static_cast<const BYTE *>(pv);
        bytes.insert(bytes.end(), p, p + cb);
        *written = cb;
        return S_OK;
    }
    IStream *stream() { return reinterpret_cast<IStream *>(static_cast<ISequentialStream *>(this)); }
    void rewind() { position = 0; }
};

TEST(FreeThreadedMarshaler, AggregatedViewCountsOnTheOuterAndOwnUnknownOnItself)
{
    Outer outer;
    EXPECT_EQ(CoCreateFreeThreadedMarshaler(&outer, nullptr), E_INVALIDARG);
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(&outer, &outer.marshaler), S_OK);
    IUnknown *inner = outer.marshaler;
    EXPECT_NE(inner, static_cast<IUnknown *>(&outer));
    EXPECT_EQ(outer.count, 1u);
    void *pv = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IMarshal, &pv), S_OK);
    auto *marshal = static_cast<IMarshal *>(pv);
    EXPECT_EQ(outer.count, 2u) << "the reference handed out is the outer's";
    EXPECT_EQ(marshal->AddRef(), 3u);
    EXPECT_EQ(marshal->Release(), 2u);
    void *identity = nullptr; // queries through the view answer with the outer's identity
    ASSERT_EQ(marshal->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown *>(&outer));
    outer.Release();
    marshal->Release();
    EXPECT_EQ(outer.count, 1u);

    EXPECT_EQ(inner->AddRef(), 2u);
    EXPECT_EQ(outer.count, 1u);
    void *self = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, &self), S_OK);
    EXPECT_EQ(self, inner) << "the inner object's own unknown, not the outer";
    EXPECT_EQ(inner->Release(), 2u);
    EXPECT_EQ(inner->Release(), 1u);
    void *none = &outer;
    EXPECT_EQ(inner->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(inner->QueryInterface(IID_IMarshal, nullptr), E_POINTER);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(outer.count, 1u);

    ASSERT_EQ(CoCreateFreeThreadedMarshaler(nullptr, &inner), S_OK); // its own controlling unknown
    ASSERT_EQ(inner->QueryInterface(IID_IMarshal, &pv), S_OK);
    ASSERT_EQ(static_cast<IMarshal *>(pv)->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, inner);
    EXPECT_EQ(inner->Release(), 2u);
    EXPECT_EQ(inner->Release(), 1u);
    EXPECT_EQ(static_cast<IMarshal *>(pv)->Release(), 0u);
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

    HRESULT marshal_outer(DWORD flags, DWORD context = MSHCTX_INPROC)
    {
        return marshal->MarshalInterface(stream.stream(), IID_IUnknown, static_cast<IUnknown *>(&outer),
                                         context, nullptr, flags);
    }

    Outer outer;
    IMarshal *marshal = nullptr;
    MemoryStream stream;
};

TEST_F(FreeThreadedMarshaling, DescribesInProcessMarshalingOnly)
{
    CLSID clsid = IID_IMarshal;
    DWORD size = 7;
    for (DWORD context : {DWORD{MSHCTX_INPROC}, DWORD{MSHCTX_CROSSCTX}}) {
        ASSERT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, context, nullptr, 0, &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_InProcFreeMarshaler);
        ASSERT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, context, nullptr, 0, &size), S_OK);
        EXPECT_GE(size, sizeof(void *));
    }
    for (DWORD context : {DWORD{MSHCTX_LOCAL}, DWORD{MSHCTX_NOSHAREDMEM}, DWORD{MSHCTX_DIFFERENTMACHINE}}) {
        EXPECT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, context, nullptr, 0, &clsid), E_NOTIMPL);
        EXPECT_EQ(clsid, CLSID_NULL);
        EXPECT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, context, nullptr, 0, &size), E_NOTIMPL);
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(marshal_outer(MSHLFLAGS_NORMAL, context), E_NOTIMPL);
    }
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(marshal->DisconnectObject(0), S_OK);
    EXPECT_TRUE(stream.bytes.empty());
    EXPECT_EQ(outer.count, 1u);
}

// Normal data holds one reference until unmarshaled, even when the query fails;
// table data serves many unmarshals until released; weak data holds none.
TEST_F(FreeThreadedMarshaling, EachKindOfDataHoldsItsReferences)
{
    ASSERT_EQ(marshal_outer(MSHLFLAGS_NORMAL), S_OK);
    DWORD size = 0;
    ASSERT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, &size), S_OK);
    EXPECT_LE(stream.bytes.size(), size);
    EXPECT_EQ(outer.count, 2u);
    void *pv = nullptr;
    ASSERT_EQ(marshal->UnmarshalInterface(stream.stream(), IID_IMarshal, &pv), S_OK);
    EXPECT_EQ(pv, static_cast<void *>(marshal));
    EXPECT_EQ(outer.count, 2u) << "the data's reference became the caller's";
    marshal->Release();
    stream = MemoryStream{};
    ASSERT_EQ(marshal_outer(MSHLFLAGS_NORMAL), S_OK);
    EXPECT_EQ(marshal->UnmarshalInterface(stream.stream(), IID_IDispatch, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(outer.count, 1u);

    stream = MemoryStream{};
    ASSERT_EQ(marshal_outer(MSHLFLAGS_TABLESTRONG), S_OK);
    for (int i = 0; i < 3; ++i) {
        stream.rewind();
        ASSERT_EQ(marshal->UnmarshalInterface(stream.stream(), IID_IUnknown, &pv), S_OK);
        EXPECT_EQ(pv, static_cast<IUnknown *>(&outer));
    }
    EXPECT_EQ(outer.count, 5u);
    outer.count -= 3;
    stream.rewind();
    EXPECT_EQ(marshal->ReleaseMarshalData(stream.stream()), S_OK);
    EXPECT_EQ(outer.count, 1u);
    stream = MemoryStream{};
    ASSERT_EQ(marshal_outer(MSHLFLAGS_TABLEWEAK), S_OK);
    EXPECT_EQ(outer.count, 1u);
    EXPECT_EQ(marshal->ReleaseMarshalData(stream.stream()), S_OK);
    EXPECT_EQ(outer.count, 1u);
}

TEST_F(FreeThreadedMarshaling, RefusesBadDataAndKeepsNothingOnFailure)
{
    EXPECT_EQ(marshal_outer(0x10), E_INVALIDARG);
    EXPECT_EQ(marshal->MarshalInterface(nullptr, IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(marshal->MarshalInterface(stream.stream(), IID_IUnknown, nullptr, MSHCTX_INPROC, nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(marshal->MarshalInterface(stream.stream(), IID_IDispatch, &outer, MSHCTX_INPROC, nullptr, 0),
              E_NOINTERFACE);
    stream.fail_writes = true;
    EXPECT_EQ(marshal_outer(MSHLFLAGS_NORMAL), E_ACCESSDENIED);
    EXPECT_EQ(outer.count, 1u);

    void *pv = &outer;
    EXPECT_EQ(marshal->UnmarshalInterface(stream.stream(), IID_IUnknown, &pv), E_INVALIDARG) << "empty";
    EXPECT_EQ(pv, nullptr);
    stream.bytes.assign(16, 0xAB);
    EXPECT_EQ(marshal->UnmarshalInterface(stream.stream(), IID_IUnknown, &pv), E_INVALIDARG) << "foreign";
    stream.rewind();
    EXPECT_EQ(marshal->ReleaseMarshalData(stream.stream()), E_INVALIDARG);
    EXPECT_EQ(marshal->UnmarshalInterface(nullptr, IID_IUnknown, &pv), E_INVALIDARG);
    EXPECT_EQ(marshal->UnmarshalInterface(stream.stream(), IID_IUnknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(marshal->ReleaseMarshalData(nullptr), E_INVALIDARG);
    EXPECT_EQ(outer.count, 1u);
}

} // namespace
