#pragma once

// Keeps libraries that the process loads at run time (by the shell, by lookups
// of our own) from being taken from the current or the executable's folder,
// where an elevated installer run from a downloads folder would load whatever
// was planted there. Call first thing in the entry point.
void HardenDllSearch();
