// Texts of error codes: the program's own codes come from its string table.
#pragma once

#include <windows.h>

// Own failure codes live in 0x80045000..0x80045FFF; their texts are string
// table entries at code - 0x80045000 + 14000.
enum { OWN_CODE_FIRST = 0x80045000u, OWN_CODE_LAST = 0x80045FFFu, OWN_CODE_STRING_BASE = 14000 };

// Writes the text of `code` into `buffer` (size bytes with the NUL): an own
// code's string-table entry, or "%08X" without one; any other code's system
// message (without its line break), or "%08X" when the system has none.
// Returns the length written.
int FormatErrorCode(char* buffer, HRESULT code, int size);
