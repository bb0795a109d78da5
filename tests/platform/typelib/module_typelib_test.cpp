// A module file that carries the type library as its resource "TYPELIB" 1 loads like
// the type library file itself; a module without that resource, or with anything
// else in it, does not.
#include "typelib_files.h"
#include "typelib_walk.h"

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
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->lcid, 0x0409u);
    library->ReleaseTLibAttr(attr);
    ITypeInfo *info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IMorvane, &info), S_OK);
    info->Release();
    // The module is no longer needed: the library is read in whole.
    EXPECT_GE(walk(library), 23u);
    library->Release();
}

TEST(ModuleTypeLib, ModulesWithoutTheResourceCannotBeLoaded)
{
    ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
    EXPECT_EQ(load(TYPELIB_MODULE_BARE, &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
    // Another number, or another type, is not the type library.
    EXPECT_EQ(load(TYPELIB_MODULE_OTHER, &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
}

TEST(ModuleTypeLib, AResourceThatIsNoTypeLibraryIsRefused)
{
    ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
    EXPECT_EQ(load(TYPELIB_MODULE_DAMAGED, &library), TYPE_E_INVDATAREAD);
    EXPECT_EQ(library, nullptr);
}

TEST(ModuleTypeLib, ADamagedModuleFileIsRefused)
{
    // The start of a module file and nothing else.
    ScratchFolder folder;
    const std::vector<std::uint8_t> elf_start = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
    ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
    EXPECT_EQ(load(folder.write("broken.so", elf_start), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
}
