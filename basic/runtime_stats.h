// The RuntimeStats command: live-string and object counts, then every live string.
#pragma once
#include <ostream>

// Writes the report to the given stream, flushing after each line.
void writeRuntimeStats(std::ostream& out);

// "RuntimeStats": the report on standard output.
void runtimeStats();
