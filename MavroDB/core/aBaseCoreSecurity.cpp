// Database files and security of the core: new files (single-user, or
// multi-user with the workgroup file beside them), the initial permissions
// of a new multi-user database, the database password and permissions.
#include <stdio.h>
#include <string.h>

#include "aBaseCore.h"
#include "aDBModule.h"
#include "aDBResource.h"

namespace {

const char kLocale[] = ";LANGID=0x0804;CP=936;COUNTRY=0";

}  // namespace

int CDBCore::CreateDatabaseFile(const char* path, const char* workgroupPath, const char* password,
                                int multiUser) {
    DB_TRACE_POINT();
    std::string file = path ? path : "";
    try {
        for (;;) {
            try {
                // A workspace of its own, as "admin" without a workgroup.
                CdbDBEngine engine;
                CdbWorkspace workspace(&engine, "MavroTempWS", "admin", "");
                std::string connect = kLocale;
                if (multiUser)
                    connect += std::string(";pwd=") + (password ? password : "");
                workspace.CreateDatabase(file, connect);
                if (multiUser && !ExtractWorkgroupFile(workgroupPath))
                    return 0;
                return 1;
            } catch (const CdbException& e) {
                if (e.Number() != dbErrDatabaseExists) {
                    ShowEngineError(e);
                    return 0;
                }
                if (DBMessageBox(IDS_DB_REPLACE_DATABASE, MB_YESNO) != IDYES)
                    return 0;
                if (!DeleteFileA(file.c_str())) {
                    DB_LOG("can't delete old mdb file");
                    DBMessageBox(IDS_DB_CANNOT_DELETE);
                    return 0;
                }
            }
        }
    } catch (...) {
        return 0;
    }
}

int CDBCore::ExtractWorkgroupFile(const char* workgroupPath) {
    if (!workgroupPath || !*workgroupPath)
        return 0;
    HMODULE module = GetDBModule();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_DB_WORKGROUP), "MDWFILE");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || !size)
        return 0;
    // Written whole under another name beside the target, then moved over
    // it: an old file is replaced whole or not at all.
    std::string target = workgroupPath;
    std::string temp = target + ".new";
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    bool ok =
        WriteFile(h, bytes, size, &written, nullptr) && written == size && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (ok)
        ok = MoveFileExA(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileA(temp.c_str());
    return ok ? 1 : 0;
}

int CDBCore::CreateNewDatabase() {
    if (!m_database || !m_engine)
        return 0;
    static const struct {
        const char* container;
        const char* account;
        long permissions;
    } grants[] = {
        {"Tables", "Admins", dbSecFullAccess},
        {"Relationships", "Admins", dbSecFullAccess},
        {"Databases", "Admins", dbSecFullAccess},
        {"Tables", "admin", dbSecFullAccess},
        {"Relationships", "admin", dbSecFullAccess},
        {"Databases", "admin", dbSecFullAccess},
        {"Tables", "Users", dbSecReadSec | dbSecReadDef | dbSecCreate},
        {"Relationships", "Users", dbSecFullAccess},
        {"Databases", "Users", dbSecDBCreate | dbSecDBOpen | dbSecDBExclusive | dbSecDBAdmin},
    };
    try {
        for (const auto& g : grants)
            m_database->SetPermissions(g.container, "", m_engine->AccountIdentifier(g.account),
                                       g.permissions, true);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    return 1;
}

int CDBCore::ChangeDatabasePassword(const char* newPassword, const char* oldPassword) {
    if (!m_database)
        return 0;
    try {
        m_database->NewPassword(oldPassword ? oldPassword : "", newPassword ? newPassword : "");
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::SetPermissions(const char* account, const char* document, long permissions) {
    if (!m_database || !m_engine || !account || !document)
        return 0;
    try {
        m_database->SetPermissions("Tables", document, m_engine->AccountIdentifier(account),
                                   permissions);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::GetPermissions(const char* account, const char* document, long* permissions) {
    if (!m_database || !m_engine || !account || !document || !permissions)
        return 0;
    try {
        *permissions =
            m_database->GetPermissions("Tables", document, m_engine->AccountIdentifier(account));
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// ---- accounts

namespace {

bool Reserved(const std::string& name, bool group) {
    static const char* const users[] = {"admin", "Creator", "Engine"};
    static const char* const groups[] = {"Admins", "Users"};
    if (group)
        return name == groups[0] || name == groups[1];
    for (const char* u : users)
        if (name == u)
            return true;
    return false;
}

void Unreserved(const std::vector<std::string>& all, bool group, char*** names, int* count) {
    std::vector<std::string> list;
    for (const std::string& n : all)
        if (!Reserved(n, group))
            list.push_back(n);
    MakeNameArray(list, names, count);
}

}  // namespace

int CDBCore::GetUserNames(char*** names, int* count) {
    *names = nullptr;
    *count = 0;
    if (!m_workspace)
        return 0;
    try {
        Unreserved(m_workspace->Users(), false, names, count);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::GetGroupNames(char*** names, int* count) {
    *names = nullptr;
    *count = 0;
    if (!m_workspace)
        return 0;
    try {
        Unreserved(m_workspace->Groups(), true, names, count);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::GetUserGroups(const char* user, char*** names, int* count) {
    *names = nullptr;
    *count = 0;
    if (!m_workspace || !user)
        return 0;
    try {
        Unreserved(m_workspace->UserGroups(user), true, names, count);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// Runs one account operation of the workspace: the engine's text on failure.
template <class F>
static int AccountCall(CdbWorkspace* workspace, F f, void (*show)(const CdbException&)) {
    if (!workspace)
        return 0;
    try {
        f();
        return 1;
    } catch (const CdbException& e) {
        show(e);
        return 0;
    }
}

static void ShowAccountError(const CdbException& e) {
    DB_LOG("Database engine error %ld: %s", e.Number(), e.Description().c_str());
    DBMessageBox(e.Description());
}

int CDBCore::CreateUserInGroup(const char* user, const char* pid) {
    CdbWorkspace* w = m_workspace.get();
    return AccountCall(
        w, [&]() { w->CreateUser(user ? user : "", pid ? pid : ""); }, ShowAccountError);
}

int CDBCore::DeleteUser(const char* user) {
    CdbWorkspace* w = m_workspace.get();
    return AccountCall(
        w, [&]() { w->DeleteAccount(user ? user : "", false); }, ShowAccountError);
}

int CDBCore::CreateGroup(const char* group, const char* pid) {
    CdbWorkspace* w = m_workspace.get();
    return AccountCall(
        w, [&]() { w->CreateGroup(group ? group : "", pid ? pid : ""); }, ShowAccountError);
}

int CDBCore::DeleteGroup(const char* group) {
    CdbWorkspace* w = m_workspace.get();
    return AccountCall(
        w, [&]() { w->DeleteAccount(group ? group : "", true); }, ShowAccountError);
}

int CDBCore::AddUserToGroup(const char* user, const char* group) {
    CdbWorkspace* w = m_workspace.get();
    return AccountCall(
        w, [&]() { w->AddToGroup(user ? user : "", group ? group : ""); }, ShowAccountError);
}

int CDBCore::RemoveUserFromGroup(const char* user, const char* group) {
    CdbWorkspace* w = m_workspace.get();
    return AccountCall(
        w, [&]() { w->RemoveFromGroup(user ? user : "", group ? group : ""); }, ShowAccountError);
}

int CDBCore::GetCurrentUserName(std::string* name) {
    if (!m_workspace || !name)
        return 0;
    *name = m_workspace->User();
    return 1;
}

int CDBCore::ChangeUserPassword(const char* user, const char* oldPassword,
                                const char* newPassword) {
    CdbWorkspace* w = m_workspace.get();
    return AccountCall(
        w,
        [&]() {
            w->NewPassword(user ? user : "", oldPassword ? oldPassword : "",
                           newPassword ? newPassword : "");
        },
        ShowAccountError);
}
