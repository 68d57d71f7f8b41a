#pragma once

#include <QIcon>

// An icon resource of the program with all its sizes; a null icon when none has that number.
QIcon LoadIconResource(int id);
