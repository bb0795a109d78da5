// The generated header's tables, called from C by position, reach the C++ object's
// members in the order the committed contract file states (the slot numbers themselves are checked when
// slot_calls.c compiles).
#include "slot_calls.h"

#include <oatypelib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Records which member ran, with what, and answers with the slot number.
class RecordingMorvane final : public IMorvane, public _IMorvane {
public:
    std::vector<std::string> calls;
    LONG long_in = 0;
    FLOAT float_in = 0;
    std::vector<LONG> variants_in;
    std::vector<void *> pointers_in;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override
    {
        calls.push_back("QueryInterface");
        *out = static_cast<IMorvane *>(this);
        return 0;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return record("AddRef", 1); }
    ULONG STDMETHODCALLTYPE Release() override { return record("Release", 2); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 3;
        return record("GetTypeInfoCount", 3);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo **info) override
    {
        long_in = static_cast<LONG>(index);
        *info = nullptr;
        return record("GetTypeInfo", 4);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT count, LCID, DISPID *ids) override
    {
        long_in = static_cast<LONG>(count);
        *ids = 5;
        return record("GetIDsOfNames", 5);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        long_in = id;
        return record("Invoke", 6);
    }
#define LONG_PROPERTY(name, slot)                                                                      \
    HRESULT STDMETHODCALLTYPE get_##name(LONG *v) override { return get("get_" #name, slot, v); }      \
    HRESULT STDMETHODCALLTYPE put_##name(LONG v) override { return put("put_" #name, slot + 1, v); }
    LONG_PROPERTY(lines, 7)
    LONG_PROPERTY(columns, 9)
    LONG_PROPERTY(max_features, 11)
    HRESULT STDMETHODCALLTYPE track_corners(VARIANT a, VARIANT b, VARIANT f, VARIANT *matches) override
    {
        variants_in = {a.lVal, b.lVal, f.lVal};
        *matches = VARIANT{};
        matches->vt = VT_I4;
        matches->lVal = 13;
        return record("track_corners", 13);
    }
    HRESULT STDMETHODCALLTYPE create_morvane() override { return record("create_morvane", 14); }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return record("destroy_morvane", 15); }
    LONG_PROPERTY(stop_iterations, 16)
    HRESULT STDMETHODCALLTYPE get_stop_epsilon(FLOAT *v) override
    {
        *v = 18.25f;
        return record("get_stop_epsilon", 18);
    }
    HRESULT STDMETHODCALLTYPE put_stop_epsilon(FLOAT v) override
    {
        float_in = v;
        return record("put_stop_epsilon", 19);
    }
    LONG_PROPERTY(feature_width, 20)
    LONG_PROPERTY(feature_height, 22)
    LONG_PROPERTY(pyramid_levels, 24)
    LONG_PROPERTY(calc_match_residue, 26)
    HRESULT STDMETHODCALLTYPE get_match_residue(VARIANT *v) override
    {
        *v = VARIANT{};
        v->vt = VT_I4;
        v->lVal = 28;
        return record("get_match_residue", 28);
    }
    HRESULT STDMETHODCALLTYPE _track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA,
                                             FLOAT *featB, BYTE *status, FLOAT *residue) override
    {
        pointers_in = {imgA, imgB, featA, featB, status, residue};
        long_in = count;
        return record("_track_corners", 3);
    }

private:
    HRESULT record(const char *member, int result)
    {
        calls.push_back(member);
        return result;
    }
    HRESULT get(const char *member, int slot, LONG *v)
    {
        *v = slot * 100;
        return record(member, slot);
    }
    HRESULT put(const char *member, int slot, LONG v)
    {
        long_in = v;
        return record(member, slot);
    }
};

// The members of a table by slot, as the committed contract states the interfaces
// it is built from (their table views): get_, put_ and putref_ name the accessors.
std::vector<std::string> contract_table(const std::vector<std::string> &types)
{
    std::ifstream in(CONTRACT_FILE);
    std::vector<std::string> slots;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string first, name, word;
        int number = 0;
        words >> first >> name;
        if (first == "type") {
            words >> word >> number;
            inside = number == TKIND_INTERFACE && std::find(types.begin(), types.end(), name) != types.end();
        } else if (inside && first.rfind("0x", 0) == 0) {
            unsigned slot = 0;
            words >> word >> number >> word >> word >> word >> slot;
            const char *prefix = number == INVOKE_PROPERTYGET ? "get_"
                                 : number == INVOKE_PROPERTYPUT ? "put_"
                                 : number == INVOKE_PROPERTYPUTREF ? "putref_" : "";
            slots.resize(std::max<std::size_t>(slots.size(), slot + 1));
            slots[slot] = prefix + name;
        }
    }
    return slots;
}

} // namespace

// Each slot is called with arguments made from its number (see slot_calls.h) and
// answers with its number, so that a value in a wrong place shows.
TEST(GeneratedHeader, EverySlotOfTheDualInterfaceReachesItsMemberFromC)
{
    const std::vector<std::string> members = contract_table({"IUnknown", "IDispatch", "IMorvane"});
    ASSERT_EQ(imorvane_table_slots(), 29);
    ASSERT_EQ(members.size(), 29u);
    for (int slot = 0; slot < 29; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        const std::string &member = members[static_cast<std::size_t>(slot)];
        RecordingMorvane object;
        SlotResult result{};
        call_imorvane_slot(&object, slot, &result);
        EXPECT_EQ(object.calls, std::vector<std::string>{member});
        EXPECT_EQ(result.result, slot == 0 ? 0 : slot);
        if (member.rfind("get_", 0) == 0 && member != "get_stop_epsilon" && member != "get_match_residue") {
            EXPECT_EQ(result.long_out, slot * 100);
        }
        if ((member.rfind("put_", 0) == 0 && member != "put_stop_epsilon") || (slot >= 4 && slot <= 6)) {
            EXPECT_EQ(object.long_in, slot * 10);
        }
    }
    RecordingMorvane object;
    SlotResult result{};
    call_imorvane_slot(&object, 13, &result);
    EXPECT_EQ(object.variants_in, (std::vector<LONG>{13, 14, 15}));
    EXPECT_EQ(result.variant_out.lVal, 13);
    call_imorvane_slot(&object, 18, &result);
    EXPECT_FLOAT_EQ(result.float_out, 18.25f);
    call_imorvane_slot(&object, 19, &result);
    EXPECT_FLOAT_EQ(object.float_in, 19.5f);
    call_imorvane_slot(&object, 28, &result);
    EXPECT_EQ(result.variant_out.lVal, 28);
    call_imorvane_slot(&object, 3, &result);
    EXPECT_EQ(result.long_out, 3);
    call_imorvane_slot(&object, 0, &result);
    EXPECT_EQ(result.pointer_out, static_cast<IMorvane *>(&object));
}

TEST(GeneratedHeader, EverySlotOfTheRawInterfaceReachesItsMemberFromC)
{
    const std::vector<std::string> members = contract_table({"IUnknown", "_IMorvane"});
    ASSERT_EQ(raw_table_slots(), 4);
    ASSERT_EQ(members.size(), 4u);
    BYTE bytes[3] = {};
    FLOAT floats[3] = {};
    for (int slot = 0; slot < 4; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        RecordingMorvane object;
        SlotResult result{};
        call_raw_slot(&object, slot, bytes, floats, &result);
        EXPECT_EQ(object.calls, std::vector<std::string>{members[static_cast<std::size_t>(slot)]});
        EXPECT_EQ(result.result, slot == 0 ? 0 : slot);
    }
    RecordingMorvane object;
    SlotResult result{};
    call_raw_slot(&object, 3, bytes, floats, &result);
    EXPECT_EQ(object.long_in, 30);
    EXPECT_EQ(object.pointers_in, (std::vector<void *>{bytes, bytes + 1, floats, floats + 1,
                                                        bytes + 2, floats + 2}));
}
