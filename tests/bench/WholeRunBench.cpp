// A whole launcher run against the benchmark's minimal program, which starts
// the same children with the same command lines one after another and waits
// for each. Both are started as programs and timed alternately in this
// process.
//
// usage: WholeRunBench.exe REPETITIONS LAUNCHER-COMMAND-FILE MINIMAL-COMMAND-FILE
//   each file holds one command line, UTF-8
#include "BenchClock.h"
#include "ChildList.h"

#include <cstdio>
#include <cstdlib>

namespace {

Child ProgramIn(const wchar_t* commandFile)
{
    return {ReadLines(commandFile).at(0), L""};
}

double TimeRun(const Child& program)
{
    const Stopwatch run;
    RunAndWait(program);
    return run.Seconds();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: WholeRunBench.exe REPETITIONS LAUNCHER-COMMAND-FILE MINIMAL-COMMAND-FILE\n");
        return 2;
    }
    const int repetitions = _wtoi(argv[1]);
    const Child launcher = ProgramIn(argv[2]);
    const Child minimal = ProgramIn(argv[3]);
    Samples launcherRuns, minimalRuns;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        // Each goes first in every other repetition.
        if (repetition % 2 != 0) {
            minimalRuns.Add(TimeRun(minimal));
        }
        launcherRuns.Add(TimeRun(launcher));
        if (repetition % 2 == 0) {
            minimalRuns.Add(TimeRun(minimal));
        }
    }
    PrintSamples("launcher, whole run", launcherRuns);
    PrintSamples("minimal program, same children", minimalRuns);
    PrintFigure("run.launcher_seconds", launcherRuns.Median());
    PrintFigure("run.minimal_seconds", minimalRuns.Median());
    PrintFigure("run.ratio", launcherRuns.Median() / minimalRuns.Median());
    return 0;
}
