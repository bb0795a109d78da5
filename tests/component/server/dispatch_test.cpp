// Late-bound access to IMorvane: names from the cache and from the type
// information, calls by dispatch ID, and failures when the type library is not
// registered.
#include "dispatch_fixture.h"

namespace {

TEST_F(Dispatch, OneTypeInformationForEveryIndex)
{
    UINT count = 0;
    EXPECT_EQ(tracker->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo *first = nullptr;
    ITypeInfo *other = nullptr;
    ASSERT_EQ(tracker->GetTypeInfo(0, 0x0409, &first), S_OK);
    ASSERT_EQ(tracker->GetTypeInfo(7, 0x0409, &other), S_OK);
    EXPECT_EQ(first, other);
    TYPEATTR *attributes = nullptr;
    ASSERT_EQ(first->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_IMorvane));
    first->ReleaseTypeAttr(attributes);
    first->Release();
    other->Release();
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, nullptr), E_POINTER);
}

TEST_F(Dispatch, NamesResolveExactlyAndWithoutRegardToCase)
{
    EXPECT_EQ(id_of(tracker, u"lines"), 1);
    EXPECT_EQ(id_of(tracker, u"track_corners"), 4);
    EXPECT_EQ(id_of(tracker, u"match_residue"), 13);
    EXPECT_EQ(id_of(tracker, u"LINES"), 1) << "resolved by the type information";

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"track_corners"), const_cast<LPOLESTR>(u"imgB")};
    DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
    EXPECT_EQ(tracker->GetIDsOfNames(IID_NULL, names, 2, 0x0409, ids), S_OK);
    EXPECT_EQ(ids[0], 4);
    EXPECT_EQ(ids[1], 1) << "imgB is the second parameter";

    HRESULT result = S_OK;
    id_of(tracker, u"no_such_member", &result);
    EXPECT_EQ(result, DISP_E_UNKNOWNNAME);
}

TEST(DispatchUnregistered, FailsWhileTheTableStillWorks)
{
    morvane::test::ScratchRegistry registry;
    morvane::test::LoadedModule module(MORVANE_MODULE_PATH);
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) {
        HRESULT result = S_OK;
        id_of(tracker, u"lines", &result);
        EXPECT_EQ(result, TYPE_E_LIBNOTREGISTERED) << "every call tries the load again";
    }
    ITypeInfo *info = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, &info), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(tracker->create_morvane(), S_OK);
    EXPECT_EQ(tracker->Release(), 0u);
}

} // namespace
