// A whole launcher run against the least any program could do for the same
// install: start the same children with the same command lines one after
// another and wait for each. Both are measured alternately in this process.
//
// usage: WholeRunBench.exe REPETITIONS LAUNCHER-COMMAND-FILE CHILDREN-FILE
//   LAUNCHER-COMMAND-FILE  the launcher's command line, UTF-8
//   CHILDREN-FILE          one child a line, UTF-8: command line, a tab, and
//                          the child's working folder
#include "BenchClock.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Child {
    std::wstring CommandLine;
    std::wstring WorkingFolder;
};

std::wstring Widen(const std::string& utf8)
{
    std::wstring text(utf8.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0],
        static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

std::vector<std::wstring> ReadLines(const wchar_t* path)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %ls\n", path);
        std::exit(2);
    }
    std::vector<std::wstring> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(Widen(line));
        }
    }
    return lines;
}

std::vector<Child> ReadChildren(const wchar_t* path)
{
    std::vector<Child> children;
    for (const std::wstring& line : ReadLines(path)) {
        const size_t tab = line.find(L'\t');
        children.push_back({line.substr(0, tab), tab == std::wstring::npos ? L"" : line.substr(tab + 1)});
    }
    return children;
}

void RunAndWait(Child child)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const wchar_t* folder = child.WorkingFolder.empty() ? nullptr : child.WorkingFolder.c_str();
    if (!CreateProcessW(nullptr, &child.CommandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
            &process)) {
        std::fprintf(stderr, "CreateProcessW failed (%lu) for %ls\n", GetLastError(), child.CommandLine.c_str());
        std::exit(3);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: WholeRunBench.exe REPETITIONS LAUNCHER-COMMAND-FILE CHILDREN-FILE\n");
        return 2;
    }
    const int repetitions = _wtoi(argv[1]);
    const Child launcher{ReadLines(argv[2]).at(0), L""};
    const std::vector<Child> children = ReadChildren(argv[3]);
    Samples launcherRuns, minimalRuns;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        const Stopwatch launcherRun;
        RunAndWait(launcher);
        launcherRuns.Add(launcherRun.Seconds());
        const Stopwatch minimalRun;
        for (const Child& child : children) {
            RunAndWait(child);
        }
        minimalRuns.Add(minimalRun.Seconds());
    }
    PrintSamples("launcher, whole run", launcherRuns);
    PrintSamples("minimal program, same children", minimalRuns);
    PrintFigure("run.launcher_seconds", launcherRuns.Median());
    PrintFigure("run.minimal_seconds", minimalRuns.Median());
    PrintFigure("run.ratio", launcherRuns.Median() / minimalRuns.Median());
    return 0;
}
