// Payload extraction against the best the system offers for the same job:
// one WriteFile of the same bytes, straight from the mapped resource, to a new
// file in the same folder, measured alternately in this one process. Also the
// private bytes the process holds during an extraction, over what it held
// before.
//
// usage: PayloadExtractionBench.exe REPETITIONS
#include "BenchClock.h"
#include "CallProfile.h"

#include "InstallerLauncher.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// The payloads this program carries, smallest first; BenchPayloads.rc.in.
const wchar_t* const PayloadNames[] = {L"PAYLOAD8", L"PAYLOAD64", L"PAYLOAD256"};
constexpr const wchar_t* PayloadType = L"EXE";
constexpr const wchar_t* ExtractedName = L"Extracted.bin";
constexpr const wchar_t* BaselineName = L"Baseline.bin";
constexpr const wchar_t* MemoryPayload = L"PAYLOAD64";

struct Payload {
    const void* Data;
    DWORD Size;
};

Payload LockPayload(const wchar_t* name)
{
    const HRSRC found = FindResourceW(nullptr, name, PayloadType);
    const HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    if (loaded == nullptr) {
        std::fprintf(stderr, "payload resource missing (%lu)\n", GetLastError());
        std::exit(2);
    }
    return {LockResource(loaded), SizeofResource(nullptr, found)};
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

void Require(bool succeeded, const char* what)
{
    if (!succeeded) {
        std::fprintf(stderr, "%s failed (%lu)\n", what, GetLastError());
        std::exit(3);
    }
}

// Returns the extracted file's path.
std::wstring Extract(CInstallerLauncher& launcher, const wchar_t* payload, bool toStaging)
{
    std::wstring path;
    Require(launcher.ExtractPayload(payload, PayloadType, ExtractedName, toStaging, path) == 0, "ExtractPayload");
    return path;
}

// The system's own way: one call writes the bytes from memory.
void WriteWhole(const std::wstring& path, const Payload& payload)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    Require(file != INVALID_HANDLE_VALUE, "CreateFileW");
    DWORD written = 0;
    Require(WriteFile(file, payload.Data, payload.Size, &written, nullptr) && written == payload.Size, "WriteFile");
    Require(CloseHandle(file) != FALSE, "CloseHandle");
}

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
    return counters.PrivateUsage;
}

// The most private bytes seen while the extraction ran, over those before it.
double ExtraPrivateBytesDuringExtraction(CInstallerLauncher& launcher)
{
    const SIZE_T before = PrivateBytes();
    std::atomic<bool> done{false};
    std::atomic<SIZE_T> peak{before};
    std::thread sampler([&] {
        while (!done) {
            const SIZE_T now = PrivateBytes();
            if (now > peak) {
                peak = now;
            }
            Sleep(0);
        }
    });
    const std::wstring path = Extract(launcher, MemoryPayload, true);
    const SIZE_T after = PrivateBytes();
    done = true;
    sampler.join();
    DeleteFileW(path.c_str());
    const SIZE_T highest = after > peak ? after : peak.load();
    return static_cast<double>(highest) - static_cast<double>(before);
}

struct Destination {
    const char* Name;
    bool ToStaging;
    std::wstring Folder;
    Samples Extraction;
    Samples Baseline;
};

void MeasureExtraction(CInstallerLauncher& launcher, const wchar_t* payloadName, Destination& destination)
{
    const Stopwatch extraction;
    const std::wstring path = Extract(launcher, payloadName, destination.ToStaging);
    destination.Extraction.Add(extraction.Seconds());
    Require(DeleteFileW(path.c_str()) != FALSE, "DeleteFileW");
}

void MeasureBaseline(const Payload& payload, Destination& destination)
{
    const std::wstring path = destination.Folder + BaselineName;
    const Stopwatch baseline;
    WriteWhole(path, payload);
    destination.Baseline.Add(baseline.Seconds());
    Require(DeleteFileW(path.c_str()) != FALSE, "DeleteFileW");
}

// Each side goes first in every other repetition, so neither always meets
// what the other left behind (dirty pages, a freed file).
void MeasureOnce(CInstallerLauncher& launcher, const wchar_t* payloadName, const Payload& payload,
    Destination& destination, bool baselineFirst)
{
    if (baselineFirst) {
        MeasureBaseline(payload, destination);
    }
    MeasureExtraction(launcher, payloadName, destination);
    if (!baselineFirst) {
        MeasureBaseline(payload, destination);
    }
}

void MeasurePayload(CInstallerLauncher& launcher, const wchar_t* payloadName, int repetitions)
{
    const Payload payload = LockPayload(payloadName);
    const int megabytes = static_cast<int>(payload.Size >> 20);
    Destination destinations[] = {{"staging", true, {}, {}, {}}, {"package", false, {}, {}, {}}};
    for (Destination& destination : destinations) {
        // Also the warm-up: the folders exist and the pages were read once.
        const std::wstring path = Extract(launcher, payloadName, destination.ToStaging);
        destination.Folder = FolderOf(path);
        DeleteFileW(path.c_str());
    }
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        for (Destination& destination : destinations) {
            MeasureOnce(launcher, payloadName, payload, destination, repetition % 2 != 0);
        }
    }
    for (const Destination& destination : destinations) {
        const std::string label = std::to_string(megabytes) + " MB to " + destination.Name;
        PrintSamples("ExtractPayload " + label, destination.Extraction, payload.Size);
        PrintSamples("WriteFile      " + label, destination.Baseline, payload.Size);
        const std::string figure = std::string("extraction.") + destination.Name + "." + std::to_string(megabytes);
        PrintFigure(figure + ".throughput", payload.Size / 1048576.0 / destination.Extraction.Median());
        PrintFigure(figure + ".ratio", destination.Baseline.Median() / destination.Extraction.Median());
    }
}

// Where the time of the smallest extractions goes, call by call: their fixed
// cost is what keeps them furthest from the baseline.
void ProfileExtractions(CInstallerLauncher& launcher, int repetitions)
{
    for (const Destination& destination : {Destination{"staging", true, {}, {}, {}}, Destination{"package", false, {}, {}, {}}}) {
        CallProfile profile;
        for (int repetition = 0; repetition < repetitions; ++repetition) {
            const std::wstring path = Extract(launcher, PayloadNames[0], destination.ToStaging);
            DeleteFileW(path.c_str());
        }
        profile.Print(std::to_string(repetitions) + " extractions of 8 MB to the " + destination.Name + " folder");
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int repetitions = argc > 1 ? _wtoi(argv[1]) : 5;
    CInstallerLauncher launcher;
    // Measured first, before any other payload's pages were touched.
    PrintFigure("extraction.memory", ExtraPrivateBytesDuringExtraction(launcher));
    for (const wchar_t* payloadName : PayloadNames) {
        MeasurePayload(launcher, payloadName, repetitions);
    }
    ProfileExtractions(launcher, repetitions);
    launcher.RemoveStagingDirectory();
    return 0;
}
