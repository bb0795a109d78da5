// The interpreter's passes as rows: keys before, script, pass, result, and the roots after.
#include "script_test_support.h"

using namespace script_test;

namespace {

constexpr bool Install = true, Remove = false;

struct ScriptCase {
    const char *name;
    std::string present, script;
    bool install;
    HRESULT result;
    std::string after;
};

std::string nested(int levels)
{
    std::string opening, closing;
    for (int i = 0; i < levels; ++i)
        opening += " k {", closing += " }";
    return "HKCR {" + opening + closing + " }";
}

const std::vector<ScriptCase> cases = {
    // Installing: keys, values of every type, root names and entry forms.
    {"NestedKeysWithDefaultAndNamedValues", "", "HKCR\r\n{\r\n\tOuter = s 'outer'\r\n\t{\r\n\t\tInner\r\n\t\t{\r\n"
     "\t\t\tval Name = s 'named'\r\n\t\t\tLeaf = s 'leaf'\r\n\t\t}\r\n\t}\r\n}\r\n",
     Install, S_OK, "Outer @='outer'\nOuter\\Inner @Name='named'\nOuter\\Inner\\Leaf @='leaf'\n"},
    {"KeepsWhatIsThereAndOverwritesListedValues", "K @='old' @Other='kept'\nK\\Child\n",
     "HKCR { K = s 'new' }", Install, S_OK, "K @='new' @Other='kept'\nK\\Child\n"},
    {"EveryValueType", "", "HKCR { K { val S1 = s 'text' val S2 = S 'upper' val D1 = d '4294967295' val D2 = D 17"
     " val B1 = b '0aFf' val B2 = B zz val B3 = b '' val B4 = b 'A1b2C3' } }", Install, S_OK,
     "K @B1=x0aff @B2=x00 @B3=x @B4=xa1b2c3 @D1=#4294967295 @D2=#17 @S1='text' @S2='upper'\n"},
    {"ANumberTheConversionRefusesWritesNothing", "",
     "HKCR { K { val Bad = d 'not a number' val Big = d 4294967296 val Good = d 5 } }", Install, S_OK, "K @Good=#5\n"},
    {"AnOddNumberOfDigitsFailsAndRollsBack", "", "HKCR { K = s 'x' { val B = b 'abc' } }", Install, E_FAIL, ""},
    {"AValueNameMayHoldBackslashes", "", "HKCR { K { val 'dir\\file' = s 'x' } }", Install, S_OK, "K @dir\\file='x'\n"},
    {"OnlyTheOneCharacterBraceOpensABlock", "", "HKCR { A = s 'x' {1111} = s 'y' {2222} }",
     Install, S_OK, "A @='x'\n{1111} @='y'\n{2222}\n"},
    {"RootNames", "", "hkcr { A } HKEY_CLASSES_ROOT { B } HKCU { C } HKEY_LOCAL_MACHINE { D }",
     Install, S_OK, "A\nB\nHKCU\\C\nHKLM\\D\n"},
    {"AnUnknownRootKeepsEarlierRootBlocks", "", "HKCR { E } HKXX { F }", Install, DISP_E_EXCEPTION, "E\n"},
    {"ARootWithoutABlock", "", "HKCR I", Install, DISP_E_EXCEPTION, ""},
    {"AnyTokenBeginningWithABraceOpensARootBlock", "", "HKCR {opening J }", Install, S_OK, "J\n"},
    {"ForceRemoveReplacesTheWholeKey", "K @='old' @Stale='value'\nK\\Old\\Deep @='deep'\n",
     "HKCR { ForceRemove K = s 'new' { Fresh } }", Install, S_OK, "K @='new'\nK\\Fresh\n"},
    {"ForceRemoveOfAnAbsentKeyCreatesIt", "", "HKCR { ForceRemove New }", Install, S_OK, "New\n"},
    {"DeleteRemovesATreeWithoutCreatingOne", "Gone\\Sub @='x'\nStays\n",
     "HKCR { Delete Gone = s 'ignored' Delete Absent Stays }", Install, S_OK, "Stays\n"},
    {"ABlockAfterDeleteIsRefused", "Old\n", "HKCR { K Delete Old { Sub } }", Install, DISP_E_EXCEPTION, ""},
    {"ABlockAfterValIsRefused", "", "HKCR { K { val V = s 'x' { Sub } } }", Install, DISP_E_EXCEPTION, ""},
    {"AValueNameWithoutItsEqualsIsRefused", "Existing @='old'\n", "HKCR { K2 { val a s 'x' } }",
     Install, DISP_E_EXCEPTION, "Existing @='old'\n"},
    {"NestingOneBeyondTheLimitIsRefused", "Existing @='old'\n", nested(512), Install,
     DISP_E_EXCEPTION, "Existing @='old'\n"},
    {"AKeyNameTheRegistryCannotHold", "", "HKCR { First = s 'x' " + std::string(300, 'k') + " }",
     Install, DISP_E_EXCEPTION, ""},
    {"DeeperNestingThanTheRegistryIsRefusedWhenRemoving", "", nested(20000), Remove, DISP_E_EXCEPTION, ""},

    // Removing, on a registry that matches the script and on one that does not.
    {"AKeyWithOnlyItsDefaultValueGoesDirectly", "K @='x'\n", "HKCR { K = s 'x' }", Remove, S_OK, ""},
    {"AKeyWithUnlistedSubkeysStays", "K @V='v'\nK\\Listed\nK\\Unlisted @='kept'\n",
     "HKCR { K { val V = s 'v' Listed } After }", Remove, S_OK, "K\nK\\Unlisted @='kept'\n"},
    {"TheForcedRemovalTakesTheSubkeyNamedLikeTheKey", "K\\K\\Deeper @='x'\nK\\Other\nK\\Listed\n",
     "HKCR { K { Listed } }", Remove, S_OK, "K\nK\\Other\n"},
    {"TheForcedRemovalIgnoresNoRemove", "K\\K\\Deeper @='x'\nK\\Other\nK\\Listed\n",
     "HKCR { NoRemove K { Listed } }", Remove, S_OK, "K\nK\\Other\n"},
    // Values are still removed, and a nested block starts without the flag.
    {"NoRemoveKeepsEveryLaterKeyOfItsBlock", "Before\nA @V='v' @W='w'\nB\nOuter\\Inner\n",
     "HKCR { Before NoRemove A { val V = s 'v' } B Outer { Inner } }", Remove, S_OK, "A @W='w'\nB\nOuter\n"},
    {"DeleteAndForceRemoveEntriesAreRemovedLikeOthers", "F\\Sub\nD @='x'\n",
     "HKCR { ForceRemove F = s 'f' { Sub } Delete D = s 'x' }", Remove, S_OK, ""},
    {"RemovingABlockAfterDelete", "D @V='v'\n", "HKCR { Delete D { val V = s 'v' } }", Remove,
     DISP_E_EXCEPTION, "D @V='v'\n"},
    {"RemovingABlockAfterDeleteInAnAbsentKey", "", "HKCR { Absent { Delete X { Y } } }", Remove, DISP_E_EXCEPTION, ""},
    {"RemovingABlockAfterVal", "", "HKCR { K { val V = s 'x' { Y } } }", Remove, DISP_E_EXCEPTION, ""},
    // A holds only its default value, so it goes at once and its block is read past.
    {"ABlockTheRegistryDoesNotReflectIsReadPast", "A @='x'\nB @='y'\nC\n",
     "HKCR { A = s 'x' { val V = s 'v' Sub { Deeper } } B = s 'y' C }", Remove, S_OK, ""},
    {"ContentsTheScriptDoesNotListDoNotShiftTheEntries",
     "A @='x' @Unlisted='u'\nB\\C\nD\\Unlisted\nE\n", "HKCR { A = s 'x' B = s 'y' { C } D E }",
     Remove, S_OK, "D\nD\\Unlisted\n"},
    {"ARootBlockWithoutEntriesChangesNothing", "K\n", "HKCR { }", Remove, S_OK, "K\n"},

    // Recovery: how the removing pass walks over keys that are absent.
    {"AnAbsentKeysBlockIsWalkedUntouched", "X @V='v'\nAfter\n",
     "HKCR { Absent { X { val V = s 'v' } } After }", Remove, S_OK, "X @V='v'\n"},
    {"AfterAnAbsentKeyEntriesAreReadPastUntilABlock", "P\nQ @V='v'\nR\n",
     "HKCR { Absent = s 'a' P Q = s 'q' { val V = s 'v' } R }", Remove, S_OK, "P\nQ @V='v'\n"},
    {"RecoveryEndsWithTheBlockItBeganIn", "Outer\\Inner\nAfter\n",
     "HKCR { Outer { Absent Inner } After }", Remove, S_OK, "Outer\nOuter\\Inner\n"},
    {"InRecoveryKeysNamedLikeIdentifiersAreEntries", "{1111}\nQ\\Sub\nR\n",
     "HKCR { Absent = s 'a' {1111} = s 'x' Q { Sub } R }", Remove, S_OK, "Q\nQ\\Sub\n{1111}\n"},

    // A failed installation is rolled back by the removing pass over its root block.
    {"RollBackRemovesTheBlocksKeysWhoeverWroteThem", "Existing @='old'\nUnlisted\n",
     "HKCR { Existing = s 'new' Created { val V = s 'v' Sub } Bad = q 'x' Later }", Install,
     DISP_E_EXCEPTION, "Unlisted\n"},
    {"RollBackKeepsNoRemoveKeys", "", "HKCR { NoRemove Keep { Child } Bad\\Name }", Install,
     DISP_E_EXCEPTION, "Keep\n"},
    {"RollBackKeepsEarlierRootBlocks", "", "HKCU { Done = s 'd' } HKCR { Partial { Inner } Bad = s } ",
     Install, DISP_E_EXCEPTION, "HKCU\\Done @='d'\n"},
    {"RollBackOfABlockNeverClosed", "", "HKCR { A = s 'x' B { C", Install, DISP_E_EXCEPTION, ""},
    {"RollBackDoesNotBringBackForceRemovedKeys", "Replaced\\Old\n",
     "HKCR { ForceRemove Replaced { New } Bad = b '1' }", Install, E_FAIL, ""},

    // "CLSID" and "TYPELIB" are never removed by ForceRemove, Delete or the forced removal.
    {"ForceRemoveAndDeleteSpareProtectedNames", "CLSID\\{Other} @='other class'\nTypeLib\\{Lib}\nPlain\\Old\n",
     "HKCR { ForceRemove CLSID { New } ForceRemove typelib Delete clsid Delete TYPELIB" " ForceRemove Plain { New } }",
     Install, S_OK, "CLSID\nCLSID\\New\nCLSID\\{Other} @='other class'\nPlain\nPlain\\New\nTypeLib\nTypeLib\\{Lib}\n"},
    {"TheForcedRemovalSparesProtectedNames",
     "CLSID\\CLSID\nCLSID\\Mine\nTypeLib\\TypeLib\nTypeLib\\Mine\nPlain\\Plain\nPlain\\Mine\n",
     "HKCR { NoRemove CLSID { Mine } TypeLib { Mine } Plain { Mine } }", Remove, S_OK,
     "CLSID\nCLSID\\CLSID\nPlain\nTypeLib\nTypeLib\\TypeLib\n"},
    {"ThePlainDeleteDoesNotConsultProtectedNames", "CLSID\nTypeLib @='x'\n",
     "HKCR { CLSID TypeLib = s 'x' }", Remove, S_OK, ""},

    // Tokens: quoting, white space, buffer limits.
    {"QuotedTokensUndoubleApostrophesAndMayBeEmpty", "",
     "HKCR { A = s 'It''s' B = s '' C = s '''' D = s 'a''''b' }", Install, S_OK,
     "A @='It's'\nB @=''\nC @='''\nD @='a''b'\n"},
    {"QuotedTokensHoldWhiteSpaceBracesAndEquals", "", "HKCR { 'a b{=}\r\n\tc' = s 'x } { = y' }",
     Install, S_OK, "a b{=}\r\n\tc @='x } { = y'\n"},
    {"ATokenEndsAtItsClosingApostrophe", "", "HKCR { 'P'Q }", Install, S_OK, "P\nQ\n"},
    {"OnlySpaceTabAndLineEndsSeparateTokens", "", "HKCR\t{\r\nX= A\vB\fC }", Install, S_OK, "A\vB\fC\nX=\n"},
    // A quoted "}" closes the block; a quoted keyword is the keyword.
    {"QuotedTokensAreReadLikePlainOnes", "",
     "HKCR { A '}' HKCR '{' 'NoRemove' K { Val 'v' = 's' 'x' } }", Install, S_OK, "A\nK @v='x'\n"},
    {"AQuotedTokenOf4094Bytes", "", "HKCR { A = s '" + std::string(4094, 'q') + "' }", Install, S_OK,
     "A @='" + std::string(4094, 'q') + "'\n"},
    {"AQuotedTokenOf4095Bytes", "", "HKCR { B = s '" + std::string(4095, 'q') + "' }", Install, DISP_E_EXCEPTION, ""},
    {"ADoubledApostropheCountsOnce", "", "HKCR { C = s '" + std::string(4093, 'q') + "''' }", Install,
     S_OK, "C @='" + std::string(4093, 'q') + "''\n"},
    {"ATwoByteCharacterFitsAfter4093", "", "HKCR { A = s '" + std::string(4093, 'q') + "\xc3\xa9' }",
     Install, S_OK, "A @='" + std::string(4093, 'q') + "\xc3\xa9'\n"},
    {"AThreeByteCharacterDoesNotFitAfter4093", "",
     "HKCR { B = s '" + std::string(4093, 'q') + "\xe2\x82\xac' }", Install, DISP_E_EXCEPTION, ""},
    {"APlainTokenOf4095Bytes", "", "HKCR { A = s " + std::string(4095, 'p') + " }", Install, S_OK,
     "A @='" + std::string(4095, 'p') + "'\n"},
    {"APlainTokenOf4096Bytes", "", "HKCR { B = s " + std::string(4096, 'p') + " }", Install, DISP_E_EXCEPTION, ""},
    {"APlainTokenOf4096BytesWhenReadingPast", "", "HKCR { Absent = s " + std::string(4096, 'p') + " }",
     Remove, DISP_E_EXCEPTION, ""},
    {"AValueNameOf259Bytes", "", "HKCR { K { Val " + std::string(259, 'n') + " = s 'fits' } }",
     Install, S_OK, "K @" + std::string(259, 'n') + "='fits'\n"},
    {"AValueNameOf260Bytes", "", "HKCR { L { Val " + std::string(260, 'n') + " = s 'x' } }", Install,
     DISP_E_EXCEPTION, ""},
    {"AQuotedValueNameOf259Bytes", "", "HKCR { L { Val '" + std::string(259, 'n') + "' = s 'x' } }",
     Install, DISP_E_EXCEPTION, ""},
    {"OnlyWhiteSpace", "", " \t\r\n", Install, DISP_E_EXCEPTION, ""},
    {"AQuoteNeverClosed", "", "HKCR { A = s 'never closed }", Install, DISP_E_EXCEPTION, ""},
    {"AnEmptyScript", "K\n", "", Install, S_OK, "K\n"},
    {"AnEmptyRootBlock", "", "HKCR { } \r\n ", Install, S_OK, ""},
};

void PrintTo(const ScriptCase &row, std::ostream *out) { *out << row.name; }

class ScriptCases : public ScriptTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptCases, LeaveTheExpectedTree)
{
    const ScriptCase &row = GetParam();
    make_keys(row.present);
    EXPECT_EQ(run(row.script, row.install), row.result);
    EXPECT_EQ(registry_text(), row.after);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScriptCases, ::testing::ValuesIn(cases),
                         [](const auto &row) { return std::string(row.param.name); });

// Installing, then removing twice, leaves the keys that were there.
using RoundTrip = ScriptTest;

TEST_F(RoundTrip, RemovingUndoesInstallingOnce)
{
    const std::string scripts[] = {
        "HKCR { K = s 'x' { val V = s 'v' S = s 's' { T } val W = d 1 } L }",
        "HKCR { K = s 'x' { val V = s 'v' S { T } } L { M } }",
        // 511 levels below the root block: keys as deep as the registry goes.
        nested(511),
    };
    make_keys("Unrelated @='u'\n");
    const std::string before = registry_text();
    for (const std::string &script : scripts) {
        ASSERT_EQ(run(script, true), S_OK) << script.substr(0, 40);
        EXPECT_NE(registry_text(), before);
        ASSERT_EQ(run(script, false), S_OK);
        EXPECT_EQ(registry_text(), before);
        ASSERT_EQ(run(script, false), S_OK);
        EXPECT_EQ(registry_text(), before);
    }
}

}  // namespace
