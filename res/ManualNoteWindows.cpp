#include "res/ManualNote.h"

namespace res {

// The installer puts Handbuch.txt beside the program.
const char kManualNote[] = "Eine Softwarebeschreibung befindet sich im Programmverzeichnis";

}  // namespace res
