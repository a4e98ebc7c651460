#pragma once

#include <string>
#include <string_view>

// Registry, profile-file, file and process services. Paths are texts as the
// program builds them ("\" joins the folder and "config.ini"); the platform
// layer turns them into its own form.

// Root codes: 1 classes root, 2 current config, 3 current user, 4 local
// machine, 5 users, anything else current user.
std::string readRegistryText(int rootCode, std::string_view path, std::string_view fallback = {});

std::string readProfileValue(std::string_view fileName, std::string_view section,
                             std::string_view key, std::string_view fallback = {});
bool writeProfileValue(std::string_view fileName, std::string_view section, std::string_view key,
                       std::string_view value);

bool fileExists(std::string_view pattern);  // "*" and "?" match; directories count
bool deleteFile(std::string_view path);
std::string currentDirectory();

// Show modes 1..6 (hidden, normal, minimised, maximised, no-activate, minimise);
// out-of-range values are clamped.
bool runProgram(std::string_view commandLine, bool wait, int showMode = 2);
void sleepMs(int milliseconds);
bool terminateProcessByName(std::string_view name);

// The program joins file names to folders with "\" ("\config.ini", "\update.exe")
// as the target systems do; the platform layer turns such a text into a path of
// its own. GBK-aware: a trail byte that equals "\" is never taken as a separator.
std::string toNativePath(std::string_view path);
