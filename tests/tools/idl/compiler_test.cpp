// The header the compiler writes (its model is checked through the type library contract files).
#include "compiler.h"
#include "header_writer.h"

#include <gtest/gtest.h>

#include <string>

TEST(Compiler, HeaderCommentsCannotBeClosedByHelpStrings)
{
    const std::string header = idl::write_header(idl::compile(R"(
        [object, uuid(11111111-2222-3333-4444-000000000001), helpstring("ends */ early")]
        interface IOdd : IUnknown { [helpstring("line\nbreak */")] HRESULT a(); };
    )"), "odd.h", "odd.idl");
    EXPECT_EQ(header.find("ends */"), std::string::npos);
    EXPECT_EQ(header.find("break */"), std::string::npos);
    EXPECT_NE(header.find("#ifndef MORVANE_GENERATED_ODD_H"), std::string::npos);
    EXPECT_NE(header.find("STDMETHOD(a)(THIS) PURE;"), std::string::npos);
}
