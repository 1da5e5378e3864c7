#pragma once

#include "CommandLineOptions.h"
#include "RunExitCode.h"
#include "framework/WinApp.h"
#include "platform/Handles.h"
#include "staging/ProductPackageFolder.h"
#include "staging/StagingFolder.h"

#include <cstdint>
#include <string>
#include <vector>

// Told the name of each step of a run as it starts, and null as it ends: the
// two detections, the prompt and each step of the install sequence. Null in
// the product; a test sets it to learn which step each OS call falls in.
extern void (*InstallStepObserver)(const wchar_t* step);

// The launcher application: start-up detection, the confirmation prompt and
// the install sequence, all inside InitInstance. The steps that need the
// members are member functions; every step takes no arguments and reports a
// result that the sequence acts on or ignores as its rules say.
class CInstallerLauncher : public CWinApp {
public:
    CInstallerLauncher() = default;
    ~CInstallerLauncher() override = default;

    // Runs the whole install sequence and sets the exit code from how it
    // ended; returns FALSE on every path, so that the framework ends the
    // process.
    BOOL InitInstance() override;

    // Sets MsiArgumentTemplate, NoRestart, HelpRequested, the verb and its
    // folder from the command line, and prints a warning line that names
    // what it ignored.
    void ParseCommandLine();

    // 0 when every prerequisite that ran succeeded or none ran; otherwise the
    // first failing result. An installer that only asks for a restart has
    // succeeded, and sets PrerequisitesRequestedRestart.
    std::int32_t InstallPrerequisites();
    // The result of the last legacy uninstaller carried, or 0 when none is.
    std::int32_t RunLegacyUninstallers();
    // The number of uninstalls of earlier products that failed.
    std::int32_t RemovePreviousProducts();
    // The result of writing and installing the package that fits this Windows.
    std::int32_t InstallMainPackage();
    // -uninstall: Windows Installer's removal of the build's driver product
    // that is installed; its result, or 0 after a line saying that none is.
    std::int32_t UninstallDriverPackage();
    // -repair: Windows Installer's own repair of the installed driver
    // product, from the package it keeps; its result, or UnknownProduct
    // after a line saying that none is installed.
    std::int32_t RepairDriverPackage();
    // -extract: writes every driver package and prerequisite the build
    // carries into ExtractFolder, made when missing (see
    // HoldExtractionFolder). Returns 0, or the failing operation's code after
    // printing its line.
    std::int32_t ExtractPackages();
    // Deletes what was staged and the staging folder, never through a link:
    // when the path no longer names the folder this run made and holds,
    // nothing below it is touched. Always empties StagingDirectory.
    void RemoveStagingDirectory();

    // Writes the resource of this name and type ("EXE" or "MSI") as a new
    // file of this bare name into the StagingDirectory (toStaging) or the
    // ProductPackageFolder. Returns 0 when the file is complete and closed,
    // otherwise the failing call's code, after printing its diagnostic line.
    // outputPath is emptied first and holds the file's full path from the
    // moment its folder is ready.
    std::int32_t ExtractPayload(const std::wstring& resourceName, const std::wstring& resourceType,
        const std::wstring& fileName, bool toStaging, std::wstring& outputPath);
    // The same, and on success heldFile keeps the written file open for
    // reading with read sharing only: until the caller lets it go, the file
    // cannot be changed, replaced or deleted.
    std::int32_t ExtractPayload(const std::wstring& resourceName, const std::wstring& resourceType,
        const std::wstring& fileName, bool toStaging, std::wstring& outputPath, FileHandle& heldFile);
    // Makes the destination folder ready and creates the empty file there; a
    // name that exists already fails, except that an earlier package file is
    // first removed by its own name. The package folder's levels stay held:
    // for the whole run when the run holds them already, otherwise until
    // InstallMainPackage lets them go. Returns 0 with the file open in
    // file, or the failing call's code with file empty.
    std::int32_t OpenPayloadFile(
        const std::wstring& fileName, bool toStaging, FileHandle& file, std::wstring& outputPath);

    // Stages the "EXE" resource under this file name and runs it with these
    // parameters in the staging folder, holding the staged file unchangeable
    // until it has ended. Returns the extraction's code when staging failed
    // (nothing is started), otherwise the result of LaunchAndWait.
    std::int32_t ExtractAndRun(
        const std::wstring& resourceName, const std::wstring& fileName, const std::wstring& parameters);

    // Makes sure this run's staging folder exists, and fills environment with
    // the block every child program gets (see BuildChildEnvironment), whose
    // temporary folder lies inside it. Returns 0, or the failing operation's
    // code after printing its line.
    std::int32_t PrepareChildEnvironment(std::vector<wchar_t>& environment);

    // Full path of this run's staging folder with a trailing backslash, or
    // empty until something is staged.
    std::wstring StagingDirectory;
    // The 32-bit launcher runs under WOW64, that is on 64-bit Windows.
    bool Is64BitWindows = false;
    // Windows Installer arguments with "$MSIPATH" for the package path; empty
    // means the package is opened through the shell.
    std::wstring MsiArgumentTemplate;
    // Windows Installer command lines the launcher builds itself end in
    // /norestart.
    bool NoRestart = false;
    // The run only shows the options and exit codes.
    bool HelpRequested = false;
    // The version query reported a major version of 10 or more.
    bool IsWindows10OrLater = false;
    // A prerequisite installed but asked for a restart.
    bool PrerequisitesRequestedRestart = false;
    // The support log's file the command line named, or empty for the
    // default one.
    std::wstring LogPath;
    // What the command line asks the run to do.
    Verb RequestedVerb = Verb::Install;
    // The folder -extract named, as written; its full path with a trailing
    // backslash once ExtractPackages holds it, and the package folder's
    // stand-in for ExtractPayload then.
    std::wstring ExtractFolder;
    UsageError CommandLineError = UsageError::None;

private:
    // Creates the staging folder on the first request of the run.
    std::int32_t OpenStagingFolder(std::wstring& folder);
    void RegisterCommonControls();
    // Everything InitInstance does between the framework's start-up and the
    // log's closing; the exit code says how it ended.
    void Run();
    // The package written, held and installed; its folder's levels stay
    // held for InstallMainPackage to let go.
    std::int32_t InstallHeldPackage();
    // Takes the run lock (see TakeRunLock in RunLock.h). False, after setting
    // the exit code that ends the run, when it is not taken.
    bool TakeRunLock();
    // Opens the support log of a run that did not get the run lock, apart
    // from the other run's, and writes its header.
    void OpenLogApart();
    // Opens the support log and writes its header. False when the log the
    // command line named cannot be opened: the run has then ended.
    bool OpenRunLog();
    // Checks and holds the package folder's levels for the run, before
    // anything is staged. False when a level the vendor's other products
    // share can be neither used nor moved aside: the run has then ended.
    bool HoldPackageFolder();
    // The product package folder, with a trailing backslash: the levels held
    // for the run, or, when they could not be held, the levels the package
    // step opens itself and lets go once Windows Installer has ended; in a
    // run of -extract, the folder it holds.
    std::int32_t OpenPackageFolder(std::wstring& folder);
    // The Windows Installer arguments for the package: the template's, or
    // the ones the launcher builds itself with a log of their own.
    std::wstring PackageArguments(const std::wstring& quotedPackage);
    // Sets Is64BitWindows. False, after setting the exit code that ends the
    // run, when the query failed.
    bool DetectWow64();
    // False, after printing the machine and setting the exit code that ends
    // the run, when no driver package fits this machine's processor.
    bool CheckProcessor();
    // Shows the options and exit codes; whatever the message box answers,
    // even on a machine without a desktop, the run ends with 0.
    void ShowHelp();
    // Sets IsWindows10OrLater. False, after setting the exit code that ends
    // the run, when the version query failed.
    bool DetectWindows10();
    // True when the user agreed, or when the prompt texts are not carried.
    bool ConfirmInstallation();
    void RunInstallSequence();
    // The install sequence or the verb the command line asked for; a command
    // line with a usage error ends the run with InvalidCommandLine.
    void RunRequestedVerb();
    // Runs Windows Installer with action ("/x ", "/i ") before the installed
    // driver product's code and properties after it, quiet when -quiet
    // asked, with a verbose log named after the verb. Returns its result, the
    // failing call's code when Windows Installer could not be asked, or
    // noneInstalled after a line saying that none is installed.
    std::int32_t ChangeInstalledDriverPackage(
        const wchar_t* action, const wchar_t* properties, const wchar_t* verb, std::int32_t noneInstalled);
    // Writes one payload into the extraction folder under this name.
    std::int32_t ExtractPackage(const wchar_t* resource, const wchar_t* type, const std::wstring& fileName);
    // Ends a run that stops early: nothing staged is left behind.
    void EndRun(RunEnd end, std::int32_t stepResult);
    std::int32_t RunPrerequisite(const wchar_t* resourceName, const wchar_t* fileName, const std::wstring& parameters);
    // Runs Windows Installer's removal of the earlier product with this code.
    std::int32_t Uninstall(const std::wstring& productCode);

    // The staging folder, held from its creation to the cleanup.
    StagingFolder stagingFolder_;
    // The package folder's levels when the run could not hold them before
    // the package step, held from their check until Windows Installer has
    // ended.
    ProductPackageFolder packageFolder_;
    // The support log's folder and the package folder's levels above it,
    // checked once and held for the whole run.
    ProductPackageFolder logFolder_;
    // One run of this product at a time, held from before anything is
    // staged until the run has ended.
    HeldMutex runLock_;
    // The logs' own folder under Windows' temporary folder when the one
    // above cannot be had; held for the run and kept after it.
    StagingFolder logFallbackFolder_;
    // What the version query reported, for the log.
    OSVERSIONINFOW version_{};
    // The machine Windows runs on natively, where Windows tells it.
    NativeMachineReport nativeMachine_{false, 0};
};
