// What the support log writes, apart from the file: its lines, the secrets
// it keeps out, which old logs it lets go, and what an exit code means.
#include "log/ExitCodeMeaning.h"
#include "log/LogLine.h"
#include "log/LogRetention.h"
#include "log/SecretMasking.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(LogLine, HasTheTimeTheProcessAndThreadTheLevelAndUtf8Text)
{
    const LogTime time{2026, 12, 9, 7, 5, 3, 42};
    EXPECT_EQ("2026-12-09 07:05:03.042 [4242:17] I step started\r\n",
        FormatLogLine(time, 4242, 17, LogLevel::Information, L"step started"));
    EXPECT_EQ("2026-12-09 07:05:03.042 [1:2] E CreateFile failed (5)\r\n",
        FormatLogLine(time, 1, 2, LogLevel::Error, L"CreateFile failed (5)"));
    // A line break in a message never starts a line of its own.
    EXPECT_EQ("2026-12-09 07:05:03.042 [1:2] W a  b\r\n", FormatLogLine(time, 1, 2, LogLevel::Warning, L"a\r\nb"));
}

TEST(LogLine, EncodesUtf16AsUtf8)
{
    EXPECT_EQ("\xC3\xA4\xE2\x82\xAC", ToUtf8(std::wstring{0x00E4, 0x20AC}));
    EXPECT_EQ("\xF0\x9F\x8E\xB5", ToUtf8(std::wstring{static_cast<wchar_t>(0xD83C), static_cast<wchar_t>(0xDFB5)}));
    EXPECT_EQ("\xEF\xBF\xBDx", ToUtf8(std::wstring{static_cast<wchar_t>(0xD83C), L'x'}));
}

TEST(LogLine, WritesEverySixtyFourBitNumberInDecimal)
{
    EXPECT_EQ(Decimal(INT64_MIN), L"-9223372036854775808");
    EXPECT_EQ(Decimal(INT64_MAX), L"9223372036854775807");
    EXPECT_EQ(Decimal(4294967296), L"4294967296");
    EXPECT_EQ(Decimal(7, 3), L"007");
    std::uint32_t remainder = 0;
    EXPECT_EQ(DivideByShort(0xFFFFFFFFFFFFFFFFull, 1000, remainder), 18446744073709551ull);
    EXPECT_EQ(remainder, 615u);
}

TEST(SecretMasking, HidesTheValueOfEveryPropertyNamedLikeAPassword)
{
    const struct {
        const wchar_t* text;
        const wchar_t* masked;
    } cases[] = {
        {L"/i \"C:\\p.msi\" /qn SERVICEPASSWORD=s3cret USER=me", L"/i \"C:\\p.msi\" /qn SERVICEPASSWORD=***** USER=me"},
        {L"AdminPassword=\"two words\" X=1", L"AdminPassword=***** X=1"},
        {L"password=", L"password=*****"},
        {L"PASSWORD=\"unclosed rest", L"PASSWORD=*****"},
        {L"PASSWORD=\"Tr0ub\"\"adour horse staple\" X=1", L"PASSWORD=***** X=1"},
        {L"PASSWORD=\"ends \"\" unclosed", L"PASSWORD=*****"},
        {L"PASSWORD=\"\" MYPASSWORD= NEXT=1", L"PASSWORD=***** MYPASSWORD=***** NEXT=1"},
        {L"NOTE=\"say \"\"hi\"\" PASSWORD=x\"\tdbPassWord=a\"b c\" sqlpassword=\"p w\"",
            L"NOTE=\"say \"\"hi\"\" PASSWORD=x\"\tdbPassWord=***** sqlpassword=*****"},
        {L"PASSWORDLESS=1 A=b=c", L"PASSWORDLESS=***** A=b=c"},
        {L"/i pkg \"PASSWORD=a b\" X=1", L"/i pkg \"PASSWORD=***** X=1"},
        {L"no properties at all", L"no properties at all"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::wstring(c.masked), MaskSecrets(c.text));
    }
}

TEST(LogRetention, KeepsTheNewestLauncherLogsWithTheirWindowsInstallerLogs)
{
    const std::vector<std::wstring> names = {
        L"InstallerLauncher-20261201-100000-10.log",
        L"InstallerLauncher-20261201-100000-10-msi.log",
        L"InstallerLauncher-20261201-100000-10-remove-{A}.log",
        L"InstallerLauncher-20261202-090000-11.log",
        L"InstallerLauncher-20261203-080000-12.log",
        L"InstallerLauncher-20261203-080000-12-msi.log",
        L"InstallerLauncher-notes.log",
    };
    EXPECT_EQ((std::vector<std::wstring>{L"InstallerLauncher-20261201-100000-10.log",
                  L"InstallerLauncher-20261201-100000-10-msi.log",
                  L"InstallerLauncher-20261201-100000-10-remove-{A}.log"}),
        LogsToDelete(names, 2));
    EXPECT_TRUE(LogsToDelete(names, 3).empty());
    EXPECT_FALSE(IsLauncherLogName(L"InstallerLauncher-20261203-080000-12-msi.log"));
    EXPECT_FALSE(IsLauncherLogName(L"InstallerLauncher-2026120-0800001-12.log"));
}

TEST(ExitCodeMeaning, NamesTheCodesDeploymentSystemsActOn)
{
    EXPECT_STREQ(L"every step ran and succeeded", ExitCodeMeaning(0));
    EXPECT_STREQ(L"installed; a restart is required to finish", ExitCodeMeaning(3010));
    EXPECT_STREQ(L"another installation is in progress; try again later", ExitCodeMeaning(1618));
    EXPECT_STREQ(L"a folder shared with other products lets others change it; nothing was staged or run",
        ExitCodeMeaning(145));
    EXPECT_STREQ(L"the failing step's result: a Windows error code or a program's exit code", ExitCodeMeaning(5));
    EXPECT_STREQ(L"a failing HRESULT of the step that stopped the run", ExitCodeMeaning(-2147024891));
}

}  // namespace
