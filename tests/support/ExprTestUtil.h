// Test helpers of the script-value tests: text in the ANSI code page and
// UTF-16.
#pragma once

#include <windows.h>

#include <string>

// Wide text of a multibyte text in the ANSI code page, and back.
std::wstring WideFromAnsi(const std::string& text);
std::string AnsiFromWide(const std::wstring& text);
