// A C client reads a type library through the C tables (the C layouts are checked
// when typelib_layout_c.c compiles).
#include "typelib_files.h"

#include <morvane.h>

#include <gtest/gtest.h>

extern "C" UINT typelib_c_count_and_kind(ITypeLib *library, TYPEKIND *first_kind);
extern "C" int typelib_c_member_count(ITypeInfo *info);

TEST(TypeLibLayout, ACClientReadsALibraryThroughItsTables)
{
    typelib_test::ScratchFolder folder;
    ITypeLib *library = nullptr;
    ASSERT_EQ(typelib_test::load(folder.write("m.tlb", typelib_test::component_typelib()), &library), S_OK);
    TYPEKIND kind = TKIND_MAX;
    EXPECT_EQ(typelib_c_count_and_kind(library, &kind), 3u);
    EXPECT_EQ(kind, TKIND_COCLASS);
    ITypeInfo *info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IMorvane, &info), S_OK);
    EXPECT_EQ(typelib_c_member_count(info), 22);
    info->Release();
    library->Release();
}
