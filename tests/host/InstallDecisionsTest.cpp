// The small decisions of an install run, from tables: which package, what the
// prerequisites are given and what their results mean, and the exit code.
#include "HelpText.h"
#include "ResultCodes.h"
#include "RunExitCode.h"
#include "ShippedIdentity.h"
#include "staging/MainPackageSelection.h"
#include "staging/PrerequisiteCommandLines.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MainPackageResource, FollowsBitnessAndWindowsVersion)
{
    EXPECT_STREQ(L"MSI_WIN10_64", MainPackageResource(true, true));
    EXPECT_STREQ(L"MSI64", MainPackageResource(true, false));
    EXPECT_STREQ(L"MSI_WIN10_32", MainPackageResource(false, true));
    EXPECT_STREQ(L"MSI32", MainPackageResource(false, false));
}

TEST(ReplacePlaceholder, ReplacesLeftToRightWithoutSearchingInsertedText)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* replacement;
        const wchar_t* expected;
    };
    for (const Case& c : {
             Case{L"/i $MSIPATH /quiet", L"\"C:\\a b\\p.msi\"", L"/i \"C:\\a b\\p.msi\" /quiet"},
             Case{L"$MSIPATH$MSIPATH", L"x", L"xx"},
             Case{L"/i $msipath", L"x", L"/i $msipath"},
             Case{L"/passive", L"x", L"/passive"},
             Case{L"$MSIPATH", L"$MSIPATH$MSIPATH", L"$MSIPATH$MSIPATH"},
             Case{L"$$MSIPATHH", L"y", L"$yH"},
             Case{L"", L"x", L""},
         }) {
        std::wstring text = c.text;
        ReplacePlaceholder(text, L"$MSIPATH", c.replacement);
        EXPECT_EQ(std::wstring(c.expected), text) << "in " << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(PrerequisiteParameters, ModeSwitchesOrTheFixedSelfExtractorLines)
{
    EXPECT_EQ(L"/passive /norestart", PrerequisiteParameters(PrerequisiteBitness::X86, false, false));
    EXPECT_EQ(L"/q /norestart", PrerequisiteParameters(PrerequisiteBitness::X64, true, false));
    const std::wstring x86 = L"/q:a /c:\"vcredist_x86.exe /q:a /c:\"\"msiexec /i vcredist.msi /qb\"\" \"";
    const std::wstring x64 = L"/q:a /c:\"vcredist_x64.exe /q:a /c:\"\"msiexec /i vcredist.msi /qb\"\" \"";
    for (const bool quiet : {false, true}) {
        EXPECT_EQ(x86, PrerequisiteParameters(PrerequisiteBitness::X86, quiet, true));
        EXPECT_EQ(x64, PrerequisiteParameters(PrerequisiteBitness::X64, quiet, true));
    }
}

TEST(IsQuietRequest, OnlyTheExactSpellingAnywhere)
{
    EXPECT_TRUE(IsQuietRequest(L"/i $MSIPATH /quiet"));
    EXPECT_TRUE(IsQuietRequest(L"/quieter"));
    EXPECT_FALSE(IsQuietRequest(L"/i $MSIPATH /QUIET"));
    EXPECT_FALSE(IsQuietRequest(L""));
}

TEST(ReadsAsInstalled, OnlyTheCodesDeploymentToolsCountAsInstalled)
{
    struct Case {
        std::int32_t code;
        bool installed;
    };
    for (const Case& c : {Case{0, true}, Case{1638, true}, Case{1641, true}, Case{3010, true}, Case{1, false},
             Case{-1, false}, Case{1602, false}, Case{1603, false}, Case{1618, false}, Case{1633, false},
             Case{-2147024894, false}}) {
        EXPECT_EQ(c.installed, ReadsAsInstalled(c.code)) << c.code;
    }
}

TEST(ClassifyPrerequisiteResult, InstalledRestartOrFailure)
{
    for (const int code : {0, 1638}) {
        EXPECT_EQ(PrerequisiteOutcome::Installed, ClassifyPrerequisiteResult(code)) << code;
    }
    for (const int code : {3010, 1641}) {
        EXPECT_EQ(PrerequisiteOutcome::InstalledRestartRequired, ClassifyPrerequisiteResult(code)) << code;
    }
    for (const int code : {1, -1, 1602, 1603, 1618, 5100}) {
        EXPECT_EQ(PrerequisiteOutcome::Failed, ClassifyPrerequisiteResult(code)) << code;
    }
}

TEST(RunExitCode, ReportsTheOutcome)
{
    struct Case {
        RunEnd end;
        std::int32_t stepResult;
        bool restart;
        std::int32_t expected;
    };
    for (const Case& c : {
             Case{RunEnd::Completed, 0, false, 0},
             Case{RunEnd::Completed, 0, true, 3010},
             Case{RunEnd::Completed, 1603, true, 1603},
             Case{RunEnd::Completed, -1, false, -1},
             Case{RunEnd::Declined, 0, false, 1602},
             Case{RunEnd::Completed, 3010, false, 3010},
             Case{RunEnd::Completed, 1641, false, 1641},
             Case{RunEnd::Declined, 0, true, 1602},
             Case{RunEnd::PrerequisiteFailed, 1603, false, 1603},
             Case{RunEnd::PrerequisiteFailed, 5, true, 5},
             Case{RunEnd::PrerequisiteFailed, -2147024894, false, -2147024894},
             Case{RunEnd::LegacyUninstallerFailed, 2, false, 2},
             Case{RunEnd::LegacyUninstallerFailed, -1, true, -1},
             Case{RunEnd::DetectionFailed, 6, false, 6},
             Case{RunEnd::PackageFolderRefused, 145, true, 145},
             Case{RunEnd::ProcessorUnsupported, 0, true, 1633},
         }) {
        EXPECT_EQ(c.expected, RunExitCode(c.end, c.stepResult, c.restart));
    }
}

TEST(RunExitCode, AStoppedRunNeverReadsAsInstalled)
{
    for (const RunEnd end : {RunEnd::DetectionFailed, RunEnd::PackageFolderRefused, RunEnd::PrerequisiteFailed,
             RunEnd::LegacyUninstallerFailed}) {
        for (const std::int32_t stepResult : {0, 1638, 1641, 3010}) {
            for (const bool restart : {false, true}) {
                EXPECT_EQ(1603, RunExitCode(end, stepResult, restart))
                    << static_cast<int>(end) << " " << stepResult << " " << restart;
            }
        }
    }
}

TEST(ProcessorSupported, OnlyAMachineToldToBeNeitherX86NorX64IsRefused)
{
    struct Case {
        const char* description;
        NativeMachineReport report;
        bool supported;
    };
    for (const Case& c : {
             Case{"x86", {true, 0x014C}, true},
             Case{"x64", {true, 0x8664}, true},
             Case{"ARM64", {true, 0xAA64}, false},
             Case{"ARM", {true, 0x01C4}, false},
             Case{"unknown machine", {true, 0}, false},
             Case{"function missing or failed", {false, 0}, true},
             Case{"nothing told, whatever left in the machine", {false, 0xAA64}, true},
         }) {
        EXPECT_EQ(c.supported, ProcessorSupported(c.report)) << c.description;
    }
}

TEST(HelpText, NamesEveryOptionTheLogFolderAndEveryExitCode)
{
    const std::wstring productFolder = std::wstring(Shipped::VendorFolderName) + L"\\" + Shipped::InstallersFolderName +
        L"\\" + Shipped::ProductFolderName;
    const std::wstring text = HelpText(productFolder);
    const std::wstring logFolder = L"%ProgramData%\\" + productFolder + L"\\Logs\n";
    for (const wchar_t* expected : {L"-quiet", L"-msiargs", L"-norestart", L"-log", L"-help", L"/?", L"\n-uninstall\t",
             L"\n-repair\t", L"\n-extract \"<folder>\"\t", logFolder.c_str(), L"\n0\t", L"\n87\t", L"\n1602\t",
             L"\n1603\t", L"\n1605\t", L"\n1618\t", L"\n1622\t", L"\n1633\t", L"\n1641\t", L"\n3010\t"}) {
        EXPECT_NE(std::wstring::npos, text.find(expected)) << testing::PrintToString(std::wstring(expected));
    }
}

}  // namespace
