#include "link/WindowsArrivalWatch.h"

int WindowsArrivalWatch::Descriptor() const { return -1; }

bool WindowsArrivalWatch::TakeArrival() { return true; }
