// A whole launcher run against the benchmark's minimal program, which starts
// the same children with the same command lines one after another and waits
// for each. Beside them, two programs that do nothing: one with the launcher's
// imports and manifest, one without, which show what starting a program with
// the launcher's DLLs costs on this system. All are started as programs and
// timed in turn in this process.
//
// usage: WholeRunBench.exe REPETITIONS LAUNCHER-COMMAND-FILE MINIMAL-COMMAND-FILE
//            START-FLOOR-COMMAND-FILE EMPTY-COMMAND-FILE
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
    if (argc != 6) {
        std::fprintf(stderr, "usage: WholeRunBench.exe REPETITIONS LAUNCHER-COMMAND-FILE MINIMAL-COMMAND-FILE "
                             "START-FLOOR-COMMAND-FILE EMPTY-COMMAND-FILE\n");
        return 2;
    }
    const int repetitions = _wtoi(argv[1]);
    const Child launcher = ProgramIn(argv[2]);
    const Child minimal = ProgramIn(argv[3]);
    const Child startFloor = ProgramIn(argv[4]);
    const Child empty = ProgramIn(argv[5]);
    Samples launcherRuns, minimalRuns, startFloorRuns, emptyRuns;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        // Each goes first in every other repetition.
        if (repetition % 2 != 0) {
            minimalRuns.Add(TimeRun(minimal));
        }
        launcherRuns.Add(TimeRun(launcher));
        if (repetition % 2 == 0) {
            minimalRuns.Add(TimeRun(minimal));
        }
        startFloorRuns.Add(TimeRun(startFloor));
        emptyRuns.Add(TimeRun(empty));
    }
    PrintSamples("launcher, whole run", launcherRuns);
    PrintSamples("minimal program, same children", minimalRuns);
    PrintSamples("empty program, launcher's imports", startFloorRuns);
    PrintSamples("empty program, no imports", emptyRuns);
    PrintFigure("run.launcher_seconds", launcherRuns.Median());
    PrintFigure("run.minimal_seconds", minimalRuns.Median());
    // The least of each: what a run costs when the machine lets it be.
    PrintFigure("run.launcher_least_seconds", launcherRuns.Min());
    PrintFigure("run.minimal_least_seconds", minimalRuns.Min());
    PrintFigure("run.start_floor_least_seconds", startFloorRuns.Min());
    PrintFigure("run.empty_least_seconds", emptyRuns.Min());
    PrintFigure("run.ratio", launcherRuns.Median() / minimalRuns.Median());
    return 0;
}
