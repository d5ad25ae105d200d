// The player's command line: the first "-" or "/" directly followed by R or
// r introduces the runtime file.
#pragma once

// Position just after the first character of text that is one of set, or
// null (multibyte aware: trail bytes never match).
const char* FindOneOf(const char* text, const char* set);

// Finds the runtime switch and copies the runtime path (quotes removed) into
// path. Returns false when the line has no switch. A path longer than the
// buffer is cut.
bool ParseRuntimeSwitch(const char* commandLine, char* path, int size);

// The window title for a runtime path: its file name cut at the last ".".
void RuntimeTitle(const char* path, char* title, int size);
