#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whole-file reads and replacements for the profile files. Paths are native.

// The file's bytes; nothing when it does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

// Replaces the file's contents in one step: a new file in the same folder,
// renamed over the old one, so a failure never leaves a half-written file. An
// existing file that may not be written (read-only) is left untouched and
// gives false; the old file's permissions are kept.
bool replaceFile(const std::string& path, std::string_view contents);
