// The component's own registration script, applied and removed from the resource.
#include "script_test_support.h"

#include <fstream>
#include <iterator>

using namespace script_test;

namespace {

class ComponentScript : public ScriptTest {
protected:
    // The component's path as the module variable (quoting apostrophes in it is
    // registration's part, tested with the real module).
    static HRESULT apply(const std::u16string &component_path, bool install)
    {
        RegistryScript script;
        EXPECT_EQ(script.set_variable(u"Module", component_path.c_str()), S_OK);
        return script.apply_resource(script_module_path().c_str(), 101, u"REGISTRY", install);
    }

    static std::string registered(const std::string &component_path)
    {
        return "CLSID\n"
               "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081} @='CoMorvane Class'\n"
               "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\InprocServer32 @='" +
               component_path +
               "' @ThreadingModel='Both'\n"
               "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\ProgID @='Morvane.CoMorvane.1'\n"
               "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\Programmable\n"
               "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\TypeLib "
               "@='{CABD0863-DC3C-4E64-A27D-D5B832E8947B}'\n"
               "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\VersionIndependentProgID "
               "@='Morvane.CoMorvane'\n"
               "CLSID\\{11111111-2222-3333-4444-555555555555} @='Another class'\n"
               "Morvane.CoMorvane @='CoMorvane Class'\n"
               "Morvane.CoMorvane.1 @='CoMorvane Class'\n"
               "Morvane.CoMorvane.1\\CLSID @='{0200236D-46C7-4C75-A2A1-8FEFAF32B081}'\n"
               "Morvane.CoMorvane\\CLSID @='{0200236D-46C7-4C75-A2A1-8FEFAF32B081}'\n"
               "Morvane.CoMorvane\\CurVer @='Morvane.CoMorvane.1'\n";
    }

    void SetUp() override
    {
        ScriptTest::SetUp();
        make_keys(another_class);
    }

    const std::string another_class = "CLSID\\{11111111-2222-3333-4444-555555555555} @='Another class'\n";
};

TEST_F(ComponentScript, TheCommittedScriptKeepsItsLineEnds)
{
    std::ifstream in(SCRIPT_SOURCES "/../../../../component/resources/morvane.rgs", std::ios::binary);
    const std::string committed{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(committed.substr(0, 8), "HKCR\r\n{\r");
    EXPECT_NE(committed.find("\r\n\t\t\tInprocServer32 = s '%MODULE%'\r\n"), std::string::npos);
}

TEST_F(ComponentScript, RegistersOnceHoweverOften)
{
    ASSERT_EQ(apply(u"/old/Morvane.so", true), S_OK);
    EXPECT_EQ(registry_text(), registered("/old/Morvane.so"));
    // A repeated registration replaces the class key wholesale.
    make_keys("CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\Stale @='left behind'\n"
              "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\Programmable\\Stale\n");
    ASSERT_EQ(apply(u"/new/Morvane.so", true), S_OK);
    EXPECT_EQ(registry_text(), registered("/new/Morvane.so"));
}

TEST_F(ComponentScript, UnregisteringRestoresWhatWasThereAndChangesNothingTwice)
{
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", true), S_OK);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", false), S_OK);
        EXPECT_EQ(registry_text(), "CLSID\n" + another_class) << round;
    }
}

TEST_F(ComponentScript, CLSIDStaysAfterUnregisteringWhenRegistrationCreatedIt)
{
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", false), S_OK);
    EXPECT_EQ(registry_text(), "");
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", true), S_OK);
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", false), S_OK);
    EXPECT_EQ(registry_text(), "CLSID\n");
}

}  // namespace
