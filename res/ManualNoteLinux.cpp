#include "res/ManualNote.h"

namespace res {

// A Debian package keeps its documents in its own folder under /usr/share/doc; a program folder
// that an operator could look into does not exist.
const char kManualNote[] = "Das Handbuch befindet sich in /usr/share/doc/vkx260";

}  // namespace res
