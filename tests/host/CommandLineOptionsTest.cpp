#include "CommandLineOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* description;
    const wchar_t* arguments;
    const wchar_t* expectedTemplate;
    const wchar_t* ignored = L"";
};

std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << c.description;
}

CommandLineOptions OptionsFor(const wchar_t* arguments, const wchar_t* before = L"")
{
    CommandLineOptions options;
    options.MsiArgumentTemplate = before;
    ReadCommandLineOptions(arguments, options);
    return options;
}

std::wstring TemplateFor(const wchar_t* arguments, const wchar_t* before = L"")
{
    return OptionsFor(arguments, before).MsiArgumentTemplate;
}

class MsiArgumentOptionsTest : public testing::TestWithParam<Case> {};

TEST_P(MsiArgumentOptionsTest, SetsTheTemplateAndNamesWhatItIgnores)
{
    const CommandLineOptions options = OptionsFor(GetParam().arguments);
    EXPECT_EQ(std::wstring(GetParam().expectedTemplate), options.MsiArgumentTemplate);
    EXPECT_EQ(std::wstring(GetParam().ignored), options.Ignored);
}

constexpr const wchar_t* Quiet = L"/i $MSIPATH /quiet";

INSTANTIATE_TEST_SUITE_P(CommandLines, MsiArgumentOptionsTest,
    testing::Values(
        Case{"no arguments", L"", L""},
        Case{"words without introducer", L"quiet msiargs \"x\"", L"", L"quiet msiargs \"x\""},
        Case{"mistyped options and a stray word", L" /s /q /silent -quite /h stray ", L"", L"/s /q /silent -quite /h stray"},
        Case{"slash quiet", L"/quiet", Quiet},
        Case{"hyphen quiet", L"-quiet", Quiet},
        Case{"upper-case name", L"-QUIET", Quiet},
        Case{"mixed-case name", L"/Quiet", Quiet},
        Case{"double hyphen gives an empty name first", L"--quiet", Quiet},
        Case{"options joined without blank", L"-quiet-msiargs |/i $MSIPATH /passive|", L"/i $MSIPATH /passive"},
        Case{"quoted value is not read as options", L"/msiargs \"/i $MSIPATH /passive /norestart\"",
             L"/i $MSIPATH /passive /norestart"},
        Case{"quote right after the name is the delimiter", L"-msiargs\"/i $MSIPATH\"", L"/i $MSIPATH"},
        Case{"slash after the name is the delimiter", L"/msiargs/passive/", L"passive"},
        Case{"empty value wins over quiet", L"-quiet -msiargs \"\"", L""},
        Case{"unclosed hyphen delimiter lets quiet be read", L"-msiargs -quiet", Quiet},
        Case{"unclosed quote: scan goes on inside the value", L"-msiargs \"/i $MSIPATH /quiet", Quiet, L"\" /i $MSIPATH"},
        Case{"msiargs last", L"-msiargs", L""},
        Case{"msiargs followed by blanks and tabs", L"-msiargs  \t ", L""},
        Case{"delimiter with nothing after it", L"-msiargs |", L"", L"|"},
        Case{"tab does not end a name", L"-quiet\tmore", L"", L"-quiet\tmore"},
        Case{"name with a colon", L"-quiet:yes", L"", L"-quiet:yes"},
        Case{"hyphen inside a word", L"my-file /quiet", Quiet, L"my -file"},
        Case{"value stored verbatim", L"-msiargs '/I $MSIPATH /QUIET'", L"/I $MSIPATH /QUIET"},
        Case{"blanks and tabs before the value are skipped", L"-msiargs \t'x'", L"x"},
        Case{"a tab right after the name joins the name", L"-msiargs\t'x'", L"", L"-msiargs\t'x'"},
        Case{"letter as delimiter", L"-msiargs abca", L"bc"},
        Case{"last option wins", L"-msiargs \"a\" /quiet -msiargs \"b\"", L"b"},
        Case{"quiet after msiargs wins", L"-msiargs \"a\" /quiet", Quiet}));

struct SwitchCase {
    const char* description;
    const wchar_t* arguments;
    const wchar_t* expectedTemplate;
    bool noRestart;
    bool help;
};

std::ostream& operator<<(std::ostream& out, const SwitchCase& c)
{
    return out << c.description;
}

class SwitchOptionsTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchOptionsTest, SetsTheSwitchesAndTheTemplate)
{
    const CommandLineOptions options = OptionsFor(GetParam().arguments);
    EXPECT_EQ(std::wstring(GetParam().expectedTemplate), options.MsiArgumentTemplate);
    EXPECT_EQ(GetParam().noRestart, options.NoRestart);
    EXPECT_EQ(GetParam().help, options.HelpRequested);
}

constexpr const wchar_t* QuietNoRestart = L"/i $MSIPATH /quiet /norestart";

INSTANTIATE_TEST_SUITE_P(CommandLines, SwitchOptionsTest,
    testing::Values(
        SwitchCase{"norestart alone", L"-norestart", L"", true, false},
        SwitchCase{"slash and capitals", L"/NoRestart", L"", true, false},
        SwitchCase{"quiet then norestart", L"-quiet -norestart", QuietNoRestart, true, false},
        SwitchCase{"norestart then quiet", L"/norestart /quiet", QuietNoRestart, true, false},
        SwitchCase{"joined without blank", L"-quiet-norestart", QuietNoRestart, true, false},
        SwitchCase{"msiargs stays verbatim", L"-norestart -msiargs \"/i $MSIPATH /qn\"", L"/i $MSIPATH /qn", true,
            false},
        SwitchCase{"msiargs after quiet stays verbatim", L"-quiet -norestart -msiargs '/i $MSIPATH /quiet'",
            L"/i $MSIPATH /quiet", true, false},
        SwitchCase{"quiet after msiargs gets it", L"-msiargs 'x' -norestart -quiet", QuietNoRestart, true, false},
        SwitchCase{"unclosed msiargs leaves quiet", L"-quiet -norestart -msiargs 'x", QuietNoRestart, true, false},
        SwitchCase{"inside an msiargs value it is not read", L"-msiargs \"/norestart\"", L"/norestart", false, false},
        SwitchCase{"longer name", L"-norestarts", L"", false, false},
        SwitchCase{"slash question mark", L"/?", L"", false, true},
        SwitchCase{"hyphen question mark", L"-?", L"", false, true},
        SwitchCase{"help", L"-HELP", L"", false, true},
        SwitchCase{"help among others", L"-quiet /help", Quiet, false, true},
        SwitchCase{"question mark with more", L"-?x", L"", false, false},
        SwitchCase{"question mark without introducer", L"?", L"", false, false}));

TEST(WithRestartSetting, AppendsOnlyWhenAsked)
{
    EXPECT_EQ(L"/passive /X {C} /norestart", WithRestartSetting(L"/passive /X {C}", true));
    EXPECT_EQ(L"/passive /X {C}", WithRestartSetting(L"/passive /X {C}", false));
}

TEST(MsiArgumentOptions, KeepsAnEarlierTemplateWhenNothingSetsOne)
{
    EXPECT_EQ(L"earlier", TemplateFor(L"-unknown -msiargs \"open", L"earlier"));
}

TEST(MsiArgumentOptions, QuietTemplateHasEighteenCharacters)
{
    EXPECT_EQ(18u, QuietMsiArgumentTemplate.size());
}

// "log" takes a path: delimited when it opens with a quote or a character no
// path can hold, else up to the next blank; the value of an option it
// follows is not read as options.
TEST(LogOption, NamesTheLogFileAndLeavesTheTemplateAlone)
{
    const struct {
        const wchar_t* arguments;
        const wchar_t* logPath;
        const wchar_t* msiArgumentTemplate;
    } cases[] = {
        {L"-log \"D:\\logs\\audio.log\"", L"D:\\logs\\audio.log", L""},
        {L"/LOG 'C:\\a b\\x.log' -quiet", L"C:\\a b\\x.log", Quiet},
        {L"-log |C:\\a b\\x.log|-quiet", L"C:\\a b\\x.log", Quiet},
        {L"-log <C:\\x.log>", L"", L""},
        {L"-log C:\\logs\\drv.log", L"C:\\logs\\drv.log", L""},
        {L"-log C:\\logs\\drv.log -quiet", L"C:\\logs\\drv.log", Quiet},
        {L"-log \tC:\\logs\\drv.log\t-quiet", L"C:\\logs\\drv.log", Quiet},
        {L"-log   logs\\C-drive.log", L"logs\\C-drive.log", L""},
        {L"-log \"C:\\unclosed.log -quiet", L"", Quiet},
        {L"-log -quiet", L"", Quiet},
        {L"-log \"\"", L"", L""},
        {L"-msiargs \"/i $MSIPATH -log x\"", L"", L"/i $MSIPATH -log x"},
        {L"-log", L"", L""},
        {L"-log  \t", L"", L""},
        {L"-log \"a.log\" -log b.log", L"b.log", L""},
        {L"-logfile \"a.log\"", L"", L""},
    };
    for (const auto& c : cases) {
        const CommandLineOptions options = OptionsFor(c.arguments, L"");
        EXPECT_EQ(std::wstring(c.logPath), options.LogPath) << c.arguments;
        EXPECT_EQ(std::wstring(c.msiArgumentTemplate), options.MsiArgumentTemplate) << c.arguments;
    }
}

// One verb a run, the same one twice included; "extract" takes its folder
// as "log" takes its path.
TEST(Verbs, SetTheVerbItsFolderOrAUsageError)
{
    const struct {
        const wchar_t* arguments;
        Verb verb;
        const wchar_t* folder;
        UsageError error;
    } cases[] = {
        {L"-quiet -uninstall", Verb::Uninstall, L"", UsageError::None},
        {L"/REPAIR /norestart", Verb::Repair, L"", UsageError::None},
        {L"-uninstall -Uninstall", Verb::Uninstall, L"", UsageError::None},
        {L"-extract \"C:\\a b\\drivers\" -quiet", Verb::Extract, L"C:\\a b\\drivers", UsageError::None},
        {L"-uninstall -repair", Verb::Repair, L"", UsageError::TwoVerbs},
        {L"-extract C:\\d /uninstall", Verb::Uninstall, L"C:\\d", UsageError::TwoVerbs},
        {L"-extract -quiet", Verb::Extract, L"", UsageError::FolderMissing},
        {L"-extract", Verb::Extract, L"", UsageError::FolderMissing},
        {L"-uninstaller", Verb::Install, L"", UsageError::None},
    };
    for (const auto& c : cases) {
        const CommandLineOptions options = OptionsFor(c.arguments);
        EXPECT_EQ(c.verb, options.Action) << c.arguments;
        EXPECT_EQ(std::wstring(c.folder), options.ExtractFolder) << c.arguments;
        EXPECT_EQ(c.error, options.Error) << c.arguments;
    }
}

TEST(FindFirstNonBlank, SkipsBlanksAndTabsOnly)
{
    EXPECT_EQ(-1, FindFirstNonBlank(L""));
    EXPECT_EQ(-1, FindFirstNonBlank(L" \t \t"));
    EXPECT_EQ(0, FindFirstNonBlank(L"x"));
    EXPECT_EQ(3, FindFirstNonBlank(L" \t x"));
    EXPECT_EQ(1, FindFirstNonBlank(L" \n"));
}

}  // namespace
