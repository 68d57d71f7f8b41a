#pragma once

#include <string>

// The user's documents folder, with the platform's separators; the home folder where
// there is none or it does not exist.
std::string GetDocumentsFolder();
