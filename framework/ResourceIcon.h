#pragma once

#include "framework/WinTypes.h"

// An icon resource of the program with all its sizes; nullptr when none has that number. The
// framework keeps a loaded icon for the program's life.
HICON LoadIconResource(int id);
