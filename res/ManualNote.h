#pragma once

namespace res {

// The information line of the menu "?" → "Handbuch": where this edition's installer puts the manual.
extern const char kManualNote[];

}  // namespace res
