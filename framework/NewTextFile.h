#pragma once

#include <string>

enum class NewTextFileResult { Written, NameTaken, Failed };

// Writes the bytes as a new file `name` in `folder`, and gives its full path. The bytes reach the
// disk under a temporary name beside it, which then takes the name only if no file has it: an
// existing file is never replaced, and no half-written file ever carries the name.
NewTextFileResult WriteNewTextFile(const std::string& folder, const std::string& name,
                                   const std::string& bytes, std::string& path);
