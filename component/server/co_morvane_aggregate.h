// The outer-facing object of an aggregated tracker: its own IUnknown and count,
// around an inner co_morvane whose views delegate to the client's outer unknown.
#pragma once

#include "co_morvane.h"

namespace morvane {

class co_morvane_aggregate final : public IUnknown {
public:
    // Aggregated creation: the caller has already required riid to be IUnknown.
    static HRESULT create(IUnknown *outer, REFIID riid, void **object);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

private:
    explicit co_morvane_aggregate(IUnknown *outer) : inner_(outer) {}
    ~co_morvane_aggregate() = default;
    void teardown();

    LONG count_ = 0;
    co_morvane inner_;
};

} // namespace morvane
