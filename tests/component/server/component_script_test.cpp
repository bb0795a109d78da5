// The component's own registration script, applied and removed from the resource.
#include "script_test_support.h"

using namespace script_test;

namespace {

constexpr char class_key[] = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

class ComponentScript : public ScriptTest {
protected:
    // As registration does: the path with every apostrophe doubled as the variable,
    // the path itself to find the resource.
    HRESULT apply(const std::u16string &component_path, bool install)
    {
        std::u16string doubled;
        for (char16_t c : component_path) {
            doubled += c;
            if (c == u'\'')
                doubled += c;
        }
        RegistryScript script;
        EXPECT_EQ(script.set_variable(u"Module", doubled.c_str()), S_OK);
        const HRESULT result = script.apply_resource(script_module_path().c_str(), 101, u"REGISTRY", install);
        script.clear_variables();
        return result;
    }

    static Tree registered(const std::string &component_path)
    {
        const std::string k = class_key;
        return Tree{
            {"", {}},
            {"Morvane.CoMorvane.1", {{"", text("CoMorvane Class")}}},
            {"Morvane.CoMorvane.1\\CLSID", {{"", text("{0200236D-46C7-4C75-A2A1-8FEFAF32B081}")}}},
            {"Morvane.CoMorvane", {{"", text("CoMorvane Class")}}},
            {"Morvane.CoMorvane\\CLSID", {{"", text("{0200236D-46C7-4C75-A2A1-8FEFAF32B081}")}}},
            {"Morvane.CoMorvane\\CurVer", {{"", text("Morvane.CoMorvane.1")}}},
            {"CLSID", {}},
            {"CLSID\\{11111111-2222-3333-4444-555555555555}", {{"", text("Another class")}}},
            {k, {{"", text("CoMorvane Class")}}},
            {k + "\\ProgID", {{"", text("Morvane.CoMorvane.1")}}},
            {k + "\\VersionIndependentProgID", {{"", text("Morvane.CoMorvane")}}},
            {k + "\\Programmable", {}},
            {k + "\\InprocServer32", {{"", text(component_path)}, {"ThreadingModel", text("Both")}}},
            {k + "\\TypeLib", {{"", text("{CABD0863-DC3C-4E64-A27D-D5B832E8947B}")}}},
        };
    }

    void SetUp() override
    {
        ScriptTest::SetUp();
        make_key(HKEY_CLASSES_ROOT, "CLSID\\{11111111-2222-3333-4444-555555555555}", {{"", "Another class"}});
        before_ = snapshot(HKEY_CLASSES_ROOT);
    }

    Tree before_;
};

TEST_F(ComponentScript, TheCommittedScriptIsTheResource)
{
    const std::string committed = read_source_file("../../../../component/resources/morvane.rgs");
    ASSERT_FALSE(committed.empty());
    EXPECT_EQ(committed.substr(0, 8), "HKCR\r\n{\r");
    EXPECT_NE(committed.find("\r\n\t\t\tInprocServer32 = s '%MODULE%'\r\n"), std::string::npos);
}

TEST_F(ComponentScript, RegistersTheClassAndItsProgIds)
{
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", true), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), registered("/opt/morvane/lib/Morvane.so"));
}

TEST_F(ComponentScript, APathWithApostrophesIsWrittenAsItIs)
{
    ASSERT_EQ(apply(u"/home/o'brien/it's here/Morvane.so", true), S_OK);
    EXPECT_EQ(value_of(HKEY_CLASSES_ROOT, std::string(class_key) + "\\InprocServer32", nullptr),
              text("/home/o'brien/it's here/Morvane.so"));
}

TEST_F(ComponentScript, RegisteringTwiceGivesOneRegistration)
{
    ASSERT_EQ(apply(u"/old/Morvane.so", true), S_OK);
    make_key(HKEY_CLASSES_ROOT, std::string(class_key) + "\\Stale", {{"", "left behind"}});
    make_key(HKEY_CLASSES_ROOT, std::string(class_key) + "\\Programmable\\Stale");
    ASSERT_EQ(apply(u"/new/Morvane.so", true), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), registered("/new/Morvane.so"));
}

TEST_F(ComponentScript, UnregisteringRestoresWhatWasThere)
{
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", true), S_OK);
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", false), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), before_);
}

TEST_F(ComponentScript, UnregisteringWhatWasNeverRegisteredChangesNothing)
{
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", false), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), before_);
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", false), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

TEST_F(ComponentScript, CLSIDStaysAfterUnregisteringWhenRegistrationCreatedIt)
{
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", true), S_OK);
    ASSERT_EQ(apply(u"/opt/morvane/lib/Morvane.so", false), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"CLSID", {}}}));
}

}  // namespace
