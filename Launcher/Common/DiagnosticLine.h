#pragma once

// Writes one diagnostic line, given without its line feed, to standard output
// and flushes it, so that it survives the process ending. Every line the
// launcher prints goes through here.
void WriteDiagnosticLine(const char* line);
