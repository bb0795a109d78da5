// A module file that carries the type library as its resource "TYPELIB" 1 loads like
// the type library file itself; a module without that resource, or with anything
// else in it, does not.
#include "typelib_files.h"

#include <morvane.h>

#include <gtest/gtest.h>

using namespace typelib_test;

TEST(ModuleTypeLib, TheResourceOfAModuleIsItsTypeLibrary)
{
    ITypeLib *library = nullptr;
    ASSERT_EQ(load(TYPELIB_MODULE, &library), S_OK);
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_MORVANELib));
    library->ReleaseTLibAttr(attr);
    // The module is no longer needed: the library is read in whole.
    EXPECT_GE(walk(library), 23u);
    library->Release();

    ScratchFolder folder; // the start of a module file and nothing else
    const auto broken = folder.write("broken.so", {0x7F, 'E', 'L', 'F', 2, 1, 1, 0});
    // Another number, or another type, is not the type library.
    const std::pair<std::filesystem::path, HRESULT> refused[] = {
        {TYPELIB_MODULE_BARE, TYPE_E_CANTLOADLIBRARY}, {TYPELIB_MODULE_OTHER, TYPE_E_CANTLOADLIBRARY},
        {TYPELIB_MODULE_DAMAGED, TYPE_E_INVDATAREAD}, {broken, TYPE_E_CANTLOADLIBRARY},
    };
    for (const auto &[file, expected] : refused) {
        library = reinterpret_cast<ITypeLib *>(1);
        EXPECT_EQ(load(file, &library), expected) << file;
        EXPECT_EQ(library, nullptr);
    }
}
