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
    // A permission row of a secured file: container "Tables", document ""
    // for the container itself.
    void Permission(const std::string& container, const std::string& document,
                    const std::string& identifier, long long rights, bool inherit = false);
    // Closes the file now.
    void Close();
    sqlite3* Handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

// An account of a workgroup: a user (with a password) or a group; users are
// members of "Users" and of the groups named.
struct WorkgroupAccount {
    WorkgroupAccount(const std::string& n, const std::string& pw, const std::string& p = "",
                     bool g = false, const std::vector<std::string>& gs = {})
        : name(n), password(pw), pid(p), group(g), groups(gs) {}
    std::string name;
    std::string password;
    std::string pid;
    bool group = false;
    std::vector<std::string> groups;
};

// The identifier of an account: SHA-256 over UTF-8 name, a NUL and the PID.
std::string AccountIdentifier(const std::string& name, const std::string& pid = std::string());

// A workgroup file: the built-in accounts ("admin" with no password in
// "Admins" and "Users", the groups "Admins" and "Users") and these.
void WriteWorkgroup(const std::string& path, const std::vector<WorkgroupAccount>& accounts);

// UTF-8 of an ANSI path or text.
std::string Utf8OfAnsi(const std::string& text);
