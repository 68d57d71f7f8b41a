#pragma once

#include <string>

// The executable's file name without its extension: the caption of boxes that name none.
std::string ProgramName();
