// The tree's commands: drops, the linked table's connection, the permission
// and account managers, importing another database, the database password,
// and bringing external tables in by link or import.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "aBaseCore.h"
#include "aDBDialogs.h"
#include "aDBGridCommands.h"
#include "aDBManDialogs.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "aDBTableDesign.h"
#include "aDBTreeView.h"
#include "aDBrowser.h"
#include "aDBUserMan.h"
#include "bDBEditHost.h"
#include "bMediaManager.h"
#include "bPlayerSite.h"
#include "bTextCut.h"

namespace {

// A zeroed descriptor naming the object (at most 64 bytes, whole
// characters).
DataSourceDescriptor Descriptor(const std::string& name, int isQuery) {
    DataSourceDescriptor d;
    memset(&d, 0, sizeof(d));
    memcpy(d.sourceName, name.c_str(), MbCutLength(name.c_str(), sizeof(d.sourceName)));
    d.isQuery = isQuery;
    return d;
}

bool InRange(int id, int first, int last) {
    return id >= first && id <= last;
}

}  // namespace

void CDBTreeView::OnCommand(int id) {
    switch (id) {
        case ID_DB_NEW_TABLE:
        case ID_DB_NEW_TABLE_BUTTON:
            NewTableCommand(m_hWnd);
            return;
        case ID_DB_DESIGN_TABLE:
            DesignTableCommand(m_hWnd, m_current);
            return;
        case ID_DB_EDIT_INDEXES:
            IndexEditorCommand(m_hWnd, m_current);
            return;
        case ID_DB_BROWSE_TABLE:
        case ID_DB_BROWSE_LINK:
        case ID_DB_BROWSE_QUERY:
            if (m_current)
                BrowseCommand(m_hWnd, TextOf(m_hWnd, m_current), id == ID_DB_BROWSE_QUERY ? 1 : 0);
            return;
        case ID_DB_DESIGN_QUERY:
        case ID_DB_VISUAL_QUERY:
        case ID_DB_NEW_QUERY_BUTTON:
        case ID_DB_SQL_QUERY:
            QueryDesignCommand(m_hWnd, m_current, id);
            return;
        case ID_DB_NEW_RELATION:
        case ID_DB_NEW_RELATION_BUTTON:
            RelationCommand(m_hWnd);
            return;
        case ID_DB_DROP_TABLE:
        case ID_DB_DROP_LINK:
            DropTable();
            return;
        case ID_DB_DROP_QUERY:
            DropQuery();
            return;
        case ID_DB_DROP_RELATION:
            DropRelation();
            return;
        case ID_DB_SET_CONNECTION:
            SetConnection();
            return;
        case ID_DB_PERMISSIONS:
            Permissions();
            return;
        case ID_DB_ACCOUNTS:
            Accounts();
            return;
        case ID_DB_IMPORT_DATABASE:
            ImportDatabase();
            return;
        case ID_DB_CHANGE_PASSWORD:
            if (IsCommandEnabled(id))
                ChangePassword();
            return;
    }
    if (InRange(id, ID_DB_LINK_FOXPRO30, ID_DB_LINK_ODBC) ||
        InRange(id, ID_DB_IMPORT_ACCESS, ID_DB_IMPORT_FOXPRO30) || id == ID_DB_IMPORT_MAVRO)
        ImportOrLink(id);
}

void CDBTreeView::DropTable() {
    CDBCore* core = GetDBCore();
    if (!core || !m_current)
        return;
    if (DBMessageBox(IDS_DB_ASK_DROP_TABLE, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return;
    DataSourceDescriptor d = Descriptor(TextOf(m_hWnd, m_current), 0);
    if (core->DropTable(&d))
        RemoveNode(m_current);
    else
        DBMessageBox(IDS_DB_DROP_FAILED, MB_OK);
}

void CDBTreeView::DropQuery() {
    CDBCore* core = GetDBCore();
    if (!core || !m_current)
        return;
    if (DBMessageBox(IDS_DB_ASK_DROP_QUERY, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return;
    DataSourceDescriptor d = Descriptor(TextOf(m_hWnd, m_current), 1);
    if (core->DropQuery(&d))
        RemoveNode(m_current);
    else
        DBMessageBox(IDS_DB_DROP_FAILED, MB_OK);
}

void CDBTreeView::DropRelation() {
    CDBCore* core = GetDBCore();
    if (!core || KindOf(m_hWnd, m_current) != 14)
        return;
    if (core->DropRelation(TextOf(m_hWnd, m_current).c_str()))
        RemoveNode(m_current);
}

void CDBTreeView::SetConnection() {
    CDBCore* core = GetDBCore();
    if (!core || !m_current)
        return;
    ConnectStringDialog dlg;
    if (dlg.DoModal(m_hWnd) != IDOK)
        return;
    DataSourceDescriptor d = Descriptor(TextOf(m_hWnd, m_current), 0);
    if (!core->SetLinkTableConnection(&d, dlg.m_connect.c_str()))
        DBMessageBox(IDS_DB_LINK_FAILED, MB_OK);
}

void CDBTreeView::Permissions() {
    PermissionsDialog dlg(GetDBCore());
    dlg.DoModal(m_hWnd);
}

void CDBTreeView::Accounts() {
    CDBCore* core = GetDBCore();
    if (!core)
        return;
    CUserManSheet sheet(core);
    sheet.DoModal(GetAncestor(m_hWnd, GA_ROOT));
    // The folders show the accounts as they are now.
    for (HTREEITEM folder : {m_groupsFolder, m_usersFolder}) {
        if (!folder)
            continue;
        while (HTREEITEM child = TreeView_GetChild(m_hWnd, folder)) RemoveNode(child);
        if (folder == m_groupsFolder)
            core->AddGroupNodes(m_hWnd, folder);
        else
            core->AddUserNodes(m_hWnd, folder);
    }
}

void CDBTreeView::ImportDatabase() {
    CDBCore* core = GetDBCore();
    if (!core)
        return;
    CSelFileDlg file(ID_DB_IMPORT_MAVRO, TRUE, nullptr);
    if (file.DoModal() == IDOK)
        core->CopyDatabase(file.GetPathName().c_str(), "");
}

void CDBTreeView::ChangePassword() {
    CDBCore* core = GetDBCore();
    if (!core)
        return;
    CDBPasswordChangeDlg dlg;
    if (dlg.DoModal(m_hWnd) != IDOK)
        return;
    if (!core->ChangeDatabasePassword(dlg.m_newPassword.c_str(), dlg.m_oldPassword.c_str()))
        return;
    IPlayerSite* site = core->GetSite();
    if (!site)
        return;
    IDBEditHost* host = nullptr;
    if (SUCCEEDED(site->QueryInterface(__uuidof(IDBEditHost), (void**)&host)) && host) {
        host->StoreDatabasePassword(dlg.m_newPassword.c_str());
        host->Release();
    }
    site->SetProjectFlag(1, nullptr);
}

// ---- external tables

namespace {

enum Family { kAccess, kOdbc, kDbase, kFoxPro, kExcel, kMavro };

Family FamilyOf(int id) {
    if (id == ID_DB_LINK_ACCESS || id == ID_DB_IMPORT_ACCESS)
        return kAccess;
    if (id == ID_DB_LINK_ODBC || id == ID_DB_IMPORT_ODBC)
        return kOdbc;
    if (InRange(id, ID_DB_LINK_DBASE5, ID_DB_LINK_DBASE3) ||
        InRange(id, ID_DB_IMPORT_DBASE5, ID_DB_IMPORT_DBASE3))
        return kDbase;
    if (InRange(id, ID_DB_LINK_FOXPRO30, ID_DB_LINK_FOXPRO20) ||
        InRange(id, ID_DB_IMPORT_FOXPRO26, ID_DB_IMPORT_FOXPRO20) || id == ID_DB_IMPORT_FOXPRO30)
        return kFoxPro;
    if (id == ID_DB_IMPORT_MAVRO)
        return kMavro;
    return kExcel;
}

bool IsLink(int id) {
    return InRange(id, ID_DB_LINK_FOXPRO30, ID_DB_LINK_ODBC) && id != ID_DB_BROWSE_LINK;
}

void ShowError(const CdbException& e) {
    DBMessageBox(e.Description(), MB_OK);
}

// The tables a source offers, listed by a connection of its own.
void ListTables(CdbDatabase* db, bool skipSystem, std::vector<std::string>* names) {
    for (const CdbTableDefInfo& t : db->TableDefs())
        if (!skipSystem || !(t.attributes & 0x80000003u))
            names->push_back(t.name);
}

}  // namespace

void CDBTreeView::ImportOrLink(int id) {
    CDBCore* core = GetDBCore();
    if (!core)
        return;
    Family family = FamilyOf(id);
    bool link = IsLink(id);
    CSelFileDlg file(id, TRUE, nullptr);
    SelectTableDialog chooser;
    std::string fileName, path, password;
    if (family != kOdbc) {
        if (file.DoModal() != IDOK)
            return;
        fileName = file.GetFileName();
        path = file.GetPathName();
    }
    std::string source, offered;
    if (family == kDbase || family == kFoxPro) {
        // A file is its table: nothing to choose.
        size_t dot = fileName.rfind('.');
        offered = dot == std::string::npos ? fileName : fileName.substr(0, dot);
        source = offered;
        if (dot != std::string::npos && (link || family == kFoxPro))
            source = offered + "#" + fileName.substr(dot + 1);
    } else {
        std::unique_ptr<CdbDatabase> db;
        try {
            if (family == kOdbc) {
                db = CdbDatabase::Open("", false, true, "ODBC;");
                path = db->Name();
            } else if (family == kExcel) {
                db = CdbDatabase::Open(path, false, true, "Excel 8.0;HDR=NO");
            } else if (family == kAccess) {
                db = CdbDatabase::Open(path, false, true, "");
            }
        } catch (const CdbException& e) {
            ShowError(e);
        }
        if (family == kMavro) {
            for (;;) {
                try {
                    db = CdbDatabase::Open(path, false, true, ";pwd=" + password);
                    break;
                } catch (const CdbException& e) {
                    if (e.Number() != dbErrBadPassword) {
                        ShowError(e);
                        return;
                    }
                    if (DBMessageBox(IDS_DB_WRONG_PASSWORD, MB_OKCANCEL) != IDOK)
                        return;
                    CDBPasswordPromptDlg prompt;
                    prompt.DoModal(nullptr);
                    password = prompt.m_password;
                }
            }
        }
        if (db) {
            try {
                ListTables(db.get(), family != kExcel && family != kOdbc, &chooser.m_names);
            } catch (const CdbException& e) {
                ShowError(e);
            }
            db.reset();
        }
        if (chooser.DoModal(m_hWnd) != IDOK)
            return;
        source = chooser.m_chosen;
        offered = source;
    }
    // The name of the new table, asked again while it is refused.
    int mediaCheck = link && family != kOdbc ? 1 : 0;
    TextPromptDialog prompt;
    prompt.m_text = offered;
    for (;;) {
        if (prompt.DoModal(m_hWnd) != IDOK)
            return;
        if (core->ValidateObjectName(prompt.m_text.c_str(), 1, mediaCheck))
            break;
    }
    std::string name = prompt.m_text;
    if (link) {
        if (!core->LinkExternalTable(source.c_str(), fileName.c_str(), path.c_str(), name.c_str(),
                                     id)) {
            DBMessageBox(IDS_DB_LINK_FAILED, MB_OK);
            return;
        }
        AddLinkTableNode(name.c_str());
        if (family == kOdbc)
            return;
        // The host's media manager learns of the linked file.
        if (IMediaManager* media = core->GetMediaManager()) {
            char buffer[MAX_PATH] = {};
            MbCopyCut(buffer, sizeof(buffer), name.c_str());
            media->RegisterLinkedFile(path.c_str(), 0, buffer, sizeof(buffer));
            media->MediaNameStored(buffer);
        }
    } else {
        if (!core->ImportExternalTable(source.c_str(), fileName.c_str(), path.c_str(), name.c_str(),
                                       id, password.c_str())) {
            DBMessageBox(IDS_DB_IMPORT_FAILED, MB_OK);
            return;
        }
        AddTableNode(name.c_str());
    }
}
