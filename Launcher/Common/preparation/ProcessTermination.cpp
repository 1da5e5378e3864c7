#include "ProcessTermination.h"

std::int32_t TerminateListedProcesses()
{
    return 0;
}
