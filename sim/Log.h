#pragma once

#include <string_view>

// Writes one line to standard error, stamped with the local time to the millisecond. Standard output
// stays the program's own: its reception trace must reach whoever reads it unmixed.
void LogLine(std::string_view text);
