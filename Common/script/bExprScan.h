// Lexical helpers of the script language, shared by the expression
// evaluator, the action-list interpreter, the routine tables and the
// variable manager. Texts are multibyte (ANSI code page); a DBCS lead byte
// and its trail byte always travel together, so a trail byte that happens
// to equal "|", "\\", "[" or "]" is never taken for that character.
//
// Ranges are [pos, end) byte offsets into a NUL-terminated text; the whole
// text is what the messages quote.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Failure codes of the list splitter.
#define E_EXPR_BRACKET ((HRESULT)0x80045021L)     // mismatched bracket
#define E_EXPR_EMPTYPARAM ((HRESULT)0x80045022L)  // empty parameter or blank name
#define E_EXPR_BADSTRING ((HRESULT)0x80045023L)   // malformed string in a list

// Deepest bracket nesting the scanners accept.
enum { EXPR_MAX_BRACKET_DEPTH = 255, EXPR_MAX_LIST_DEPTH = 256 };

// Lead byte of the ANSI code page (table built once per process).
bool IsExprLeadByte(unsigned char c);

// From the opening bracket at pos, finds the matching closer and leaves its
// offset in pos. Strings inside are skipped. False (logged) for a closer of
// the other kind, a missing closer or nesting deeper than 255.
bool CheckBrackets(const char* text, int& pos, int end);

// Extends the operator at pos; pos becomes the offset after it. "!", "<"
// and ">" take a following "="; "&", "=" and "|" must be doubled (else
// logged "incompatible type to compare" and false).
bool ScanOperator(const char* text, int& pos, int end);

// From the opening double quote at pos to the closing one; pos becomes the
// offset after the closing quote. Backslash escapes: n, r, t give control
// characters, anything else itself. The unescaped text goes to out when it
// is given. False (logged "Invalid string in ...") without a closing quote.
bool ScanStringLiteral(const char* text, int& pos, int end, std::string* out);

// Splits at commas outside brackets and strings (no trimming). An item that
// is wholly one bracketed group is split again in its place. Empty text
// gives no items. Codes: E_EXPR_EMPTYPARAM, E_EXPR_BADSTRING, E_EXPR_BRACKET.
HRESULT SplitParamList(const char* text, std::vector<std::string>& items);

// Item n of SplitParamList, or an empty text.
std::string GetParamListItem(const char* text, int n);
