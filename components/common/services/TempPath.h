#pragma once
// Folders and unique file names under the temporary folder.

#include <string>

// The temporary folder + name + "/", created when missing (an existing one is
// fine). Empty when it cannot be created.
std::string MakeTempFolder(const std::string& name);
// A new empty file "tmp" + a unique suffix in MakeTempFolder(name); its full
// path, or empty when it cannot be made.
std::string MakeTempFilePath(const std::string& name);
