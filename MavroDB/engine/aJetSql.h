// Jet SQL into SQLite SQL, token by token: bracketed and dotted names,
// double-quoted texts, #date# literals, a PARAMETERS clause, True and False,
// + and & as the layer's functions jet_add and jet_join (texts joined, Null
// in & taken for ""). Parameters become numbered placeholders that are
// always bound; nothing of a value is pasted in.
#pragma once

#include <string>
#include <vector>

struct JetSqlParameter {
    std::string name;  // as written, without brackets (UTF-8)
    int type;          // DAO type of its declaration; 10 when undeclared
};

struct JetSqlResult {
    std::string sql;                      // SQLite text; placeholders ?1, ?2 ...
    std::vector<JetSqlParameter> params;  // placeholder i+1 is params[i]
    int queryType = 0;                    // DAO query type (0 select, 16 crosstab, 128 union ...)
    bool singleTable = false;             // one table in FROM, no join, grouping or union
    std::string baseTable;                // that table
    std::string error;                    // empty when the text was understood
    long errorNumber = 0;                 // Jet's number for it when not a syntax error
};

// The name of the row key the layer gives a table when every name of
// SQLite's row id is taken by a field. Jet allows no '!' in a name, so no
// field can take it; a text that names it is refused with 3125.
extern const char kJetRowKeyName[];
bool IsJetRowKeyName(const std::string& name);

// Rewrites UTF-8 Jet SQL. Names in `parameters` (case-insensitive) that are
// written as bare or bracketed names become placeholders too: the engine
// learns them from SQLite's "no such column" answer, as Jet asks for them.
JetSqlResult RewriteJetSql(const std::string& sql, const std::vector<std::string>& parameters = {});

// DAO type of a PARAMETERS type word (BIT, BYTE, SHORT, LONG, CURRENCY,
// SINGLE, Double, DATETIME, TEXT, GUID, LONGBINARY and their synonyms); 0
// for an unknown word.
int JetTypeFromWord(const std::string& word);

// OLE date number of a #...# literal body (m/d/yyyy, yyyy-mm-dd or
// yyyy/mm/dd, optionally followed by hh:mm[:ss]); false for anything else.
bool JetDateLiteral(const std::string& text, double* date);

// Jet Like: * any run, ? one character, # one digit, [abc] [!a-z] sets;
// letters compared without case. Texts are UTF-8.
bool JetLikeMatch(const char* pattern, const char* text);
