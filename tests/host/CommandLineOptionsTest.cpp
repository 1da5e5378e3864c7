#include "CommandLineOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* description;
    const wchar_t* arguments;
    const wchar_t* expectedTemplate;
};

std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << c.description;
}

std::wstring TemplateFor(const wchar_t* arguments, const wchar_t* before = L"")
{
    LauncherOptions options{before, L""};
    ReadLauncherOptions(arguments, options);
    return options.MsiArgumentTemplate;
}

class MsiArgumentOptionsTest : public testing::TestWithParam<Case> {};

TEST_P(MsiArgumentOptionsTest, SetsTheTemplate)
{
    EXPECT_EQ(std::wstring(GetParam().expectedTemplate), TemplateFor(GetParam().arguments));
}

constexpr const wchar_t* Quiet = L"/i $MSIPATH /quiet";

INSTANTIATE_TEST_SUITE_P(CommandLines, MsiArgumentOptionsTest,
    testing::Values(
        Case{"no arguments", L"", L""},
        Case{"words without introducer", L"quiet msiargs \"x\"", L""},
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
        Case{"unclosed quote: scan goes on inside the value", L"-msiargs \"/i $MSIPATH /quiet", Quiet},
        Case{"msiargs last", L"-msiargs", L""},
        Case{"msiargs followed by blanks and tabs", L"-msiargs  \t ", L""},
        Case{"delimiter with nothing after it", L"-msiargs |", L""},
        Case{"tab does not end a name", L"-quiet\tmore", L""},
        Case{"name with a colon", L"-quiet:yes", L""},
        Case{"hyphen inside a word", L"my-file /quiet", Quiet},
        Case{"value stored verbatim", L"-msiargs '/I $MSIPATH /QUIET'", L"/I $MSIPATH /QUIET"},
        Case{"blanks and tabs before the value are skipped", L"-msiargs \t'x'", L"x"},
        Case{"a tab right after the name joins the name", L"-msiargs\t'x'", L""},
        Case{"letter as delimiter", L"-msiargs abca", L"bc"},
        Case{"last option wins", L"-msiargs \"a\" /quiet -msiargs \"b\"", L"b"},
        Case{"quiet after msiargs wins", L"-msiargs \"a\" /quiet", Quiet}));

TEST(MsiArgumentOptions, KeepsAnEarlierTemplateWhenNothingSetsOne)
{
    EXPECT_EQ(L"earlier", TemplateFor(L"-unknown -msiargs \"open", L"earlier"));
}

TEST(MsiArgumentOptions, QuietTemplateHasEighteenCharacters)
{
    EXPECT_EQ(18u, QuietMsiArgumentTemplate.size());
}

// "log" is one more name that takes a value, read like that of "msiargs";
// the value of an option it follows is not read as options.
TEST(LogOption, NamesTheLogFileAndLeavesTheTemplateAlone)
{
    const struct {
        const wchar_t* arguments;
        const wchar_t* logPath;
        const wchar_t* msiArgumentTemplate;
    } cases[] = {
        {L"-log \"D:\\logs\\audio.log\"", L"D:\\logs\\audio.log", L""},
        {L"/LOG 'C:\\a b\\x.log' -quiet", L"C:\\a b\\x.log", Quiet},
        {L"-msiargs \"/i $MSIPATH -log x\"", L"", L"/i $MSIPATH -log x"},
        {L"-log", L"", L""},
        {L"-log \"a.log\" -log \"b.log\"", L"b.log", L""},
        {L"-logfile \"a.log\"", L"", L""},
    };
    for (const auto& c : cases) {
        LauncherOptions options;
        ReadLauncherOptions(c.arguments, options);
        EXPECT_EQ(std::wstring(c.logPath), options.LogPath) << std::wstring(c.arguments).size();
        EXPECT_EQ(std::wstring(c.msiArgumentTemplate), options.MsiArgumentTemplate);
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
