// Where the registry files are, and what a user whose program finds a class
// unregistered can do about it, for the tools' and programs' messages.
#pragma once

#include <windows.h>

#include <string>

// The file of a registry scope (MORVANE_REGISTRY_USER or _MACHINE) as the
// platform finds it; "(no home folder)" when the user has none.
std::string registry_file(DWORD scope);

// The registry files a root's keys live in, for the end of a message: " in
// the registry FILE" (both files for HKEY_CLASSES_ROOT), or "; the registry
// file FILE does not exist" when none of them does.
std::string registry_note(HKEY root);

// "the class NAME is not registered in USER-FILE or MACHINE-FILE; register the
// installed component with `regsvr PATH` (for you) or, as root, `regsvr
// --machine PATH` (for every user)": PATH is the component installed beside
// the running program (<prefix>/lib/Morvane.so for <prefix>/bin/program), or
// where the build installs it.
std::string not_registered_text(const std::string &class_name);
