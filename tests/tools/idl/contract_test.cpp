// What the interface compiler produces, compared with committed files: the component's
// type library and further definitions' (dumped as text), and a small definition's header.
#include "scratch_folder.h"
#include "typelib_dump.h"
#include "typelib_walk.h"

#include "compiler.h"
#include "header_writer.h"
#include "typelib_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

using test_support::dump;
using test_support::load_memory;
using test_support::read_file;

namespace {

// A text compared with its committed file (MORVANE_WRITE_CONTRACT=1 writes the text over it).
void expect_committed(const std::string &text, const char *file)
{
    if (std::getenv("MORVANE_WRITE_CONTRACT") != nullptr)
        std::ofstream(file) << text;
    const std::vector<std::uint8_t> committed = read_file(file);
    EXPECT_EQ(text, std::string(committed.begin(), committed.end())) << file;
}

TEST(Contract, TheCompiledTypeLibraryStatesTheCommittedContract)
{
    ITypeLib *library = nullptr;
    ASSERT_EQ(load_memory(read_file(MORVANE_TYPELIB), &library), S_OK);
    expect_committed(dump(library, true), CONTRACT_FILE);
}

// Further definitions compile to their library (calls through such a library are the Invoke
// differential test's).
TEST(Contract, FurtherDefinitionsCompileToTheirLibrary)
{
    const std::vector<std::uint8_t> source = read_file(FEATURES_IDL_FILE);
    const std::string bytes = idl::write_typelib(idl::compile(std::string(source.begin(), source.end())));
    ITypeLib *library = nullptr;
    ASSERT_EQ(load_memory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &library), S_OK);
    expect_committed(dump(library, false), FEATURES_CONTRACT_FILE);
}

// Slots, dispatch IDs, signatures and call macros of a small definition's header.
TEST(Contract, TheGeneratedHeaderOfASmallDefinition)
{
    const std::vector<std::uint8_t> source = read_file(SMALL_IDL_FILE);
    expect_committed(idl::write_header(idl::compile(std::string(source.begin(), source.end())), "small.h", "small.idl"),
                     SMALL_HEADER_FILE);
}

} // namespace
