// The generated header's C tables, called by member name from C, reach the C++
// object's members of the same name, with their arguments intact.
#include "tracker_stub.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" void call_every_member(IMorvane *object);
extern "C" void call_raw_member(_IMorvane *object, BYTE *bytes, FLOAT *floats);

namespace {

// Records each member that runs; the setters record their value too.
class Recorder final : public morvane::test::TrackerStub {
public:
    std::string calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override
    {
        return *out = nullptr, unexpected("QueryInterface");
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return unexpected("AddRef"), 1; }
    ULONG STDMETHODCALLTYPE Release() override { return unexpected("Release"), 1; }
#define RECORD_PUT(name, type)                                                                           \
    HRESULT STDMETHODCALLTYPE put_##name(type v) override                                                \
    {                                                                                                    \
        return unexpected(("put_" #name "=" + std::to_string(v)).c_str());                               \
    }
    RECORD_PUT(lines, LONG)
    RECORD_PUT(columns, LONG)
    RECORD_PUT(max_features, LONG)
    RECORD_PUT(stop_iterations, LONG)
    RECORD_PUT(stop_epsilon, FLOAT)
    RECORD_PUT(feature_width, LONG)
    RECORD_PUT(feature_height, LONG)
    RECORD_PUT(pyramid_levels, LONG)
    RECORD_PUT(calc_match_residue, LONG)
    HRESULT STDMETHODCALLTYPE track_corners(VARIANT a, VARIANT b, VARIANT f, VARIANT *) override
    {
        return unexpected(("track_corners=" + std::to_string(a.lVal) + "," + std::to_string(b.lVal) + "," +
                           std::to_string(f.lVal)).c_str());
    }

protected:
    HRESULT unexpected(const char *name) override
    {
        calls.append(calls.empty() ? "" : " ").append(name);
        return S_OK;
    }
};

struct RawRecorder final : _IMorvane {
    std::vector<void *> pointers;
    LONG count = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOTIMPL; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE _track_corners(BYTE *imgA, BYTE *imgB, LONG n, FLOAT *featA, FLOAT *featB,
                                             BYTE *status, FLOAT *residue) override
    {
        pointers = {imgA, imgB, featA, featB, status, residue};
        count = n;
        return S_OK;
    }
};

} // namespace

TEST(GeneratedHeader, EveryMemberOfTheCTablesReachesItsNamesake)
{
    Recorder object;
    call_every_member(&object);
    EXPECT_EQ(object.calls,
              "QueryInterface AddRef Release GetTypeInfoCount GetTypeInfo GetIDsOfNames Invoke "
              "get_lines put_lines=8 get_columns put_columns=10 get_max_features put_max_features=12 "
              "track_corners=13,14,15 create_morvane destroy_morvane get_stop_iterations put_stop_iterations=17 "
              "get_stop_epsilon put_stop_epsilon=19.500000 get_feature_width put_feature_width=21 "
              "get_feature_height put_feature_height=23 get_pyramid_levels put_pyramid_levels=25 "
              "get_calc_match_residue put_calc_match_residue=27 get_match_residue");

    RawRecorder raw;
    BYTE bytes[3] = {};
    FLOAT floats[3] = {};
    call_raw_member(&raw, bytes, floats);
    EXPECT_EQ(raw.count, 30);
    EXPECT_EQ(raw.pointers, (std::vector<void *>{bytes, bytes + 1, floats, floats + 1, bytes + 2, floats + 2}));
}
