// Writes .mvb database files for tests straight through SQLite, independent
// of the database library: user tables with DAO type words, and the
// catalogue tables the library reads (queries, properties, links, password).
#pragma once

#include <string>
#include <vector>

struct sqlite3;

class MvbWriter {
public:
    // Creates a new file (an existing one is replaced); path is ANSI.
    explicit MvbWriter(const std::string& path);
    ~MvbWriter();
    MvbWriter(const MvbWriter&) = delete;
    MvbWriter& operator=(const MvbWriter&) = delete;

    bool Ok() const { return m_db != nullptr; }
    // Runs UTF-8 SQL; false (and a test failure) on an error.
    bool Exec(const std::string& sql);
    // A stored query with its Jet SQL (UTF-8).
    void Query(const std::string& name, const std::string& jetSql);
    // A property of a table, query (field "") or field.
    void Property(const std::string& object, const std::string& field, const std::string& name,
                  long long value);
    void Link(const std::string& name, const std::string& connect, const std::string& source);
    void Password(const std::string& password);
    // Closes the file now.
    void Close();
    sqlite3* Handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

// A workgroup file with accounts (name, password).
void WriteWorkgroup(const std::string& path,
                    const std::vector<std::pair<std::string, std::string>>& accounts);

// UTF-8 of an ANSI path or text.
std::string Utf8OfAnsi(const std::string& text);
