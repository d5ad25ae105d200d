#include "aDBGridCommands.h"

#include <string.h>

#include <string>

#include "aBaseCore.h"
#include "aDBIndexEditor.h"
#include "aDBModule.h"
#include "aDBQueryDesign.h"
#include "aDBResource.h"
#include "aDBTreeView.h"
#include "bTextCut.h"
#include "dRelCrt.h"

namespace {

// Closes the browser of a table or query and its cached data source; false
// when the core could not close it.
bool CloseSource(CDBCore* core, const std::string& name, int isQuery) {
    DataSourceEntry* entry =
        isQuery ? core->FindQueryByName(name.c_str()) : core->FindTableByName(name.c_str());
    if (entry && entry->browser) {
        // The browser writes its pending row as it closes.
        CloseBrowserWindow(entry->browser);
        DataSourceEntry* again =
            isQuery ? core->FindQueryByName(name.c_str()) : core->FindTableByName(name.c_str());
        if (again == entry)
            entry->browser = nullptr;
    }
    DataSourceDescriptor d;
    memset(&d, 0, sizeof(d));
    memcpy(d.sourceName, name.c_str(), MbCutLength(name.c_str(), sizeof(d.sourceName)));
    d.isQuery = isQuery;
    return core->CloseDataSource(&d) != 0;
}

}  // namespace

void IndexEditorCommand(HWND tree, HTREEITEM item) {
    CDBCore* core = GetDBCore();
    if (!core || !item)
        return;
    std::string name = CDBTreeView::TextOf(tree, item);
    if (!CloseSource(core, name, 0))
        return;
    IndexEditorDialog dlg;
    dlg.m_core = core;
    dlg.m_table = name;
    dlg.DoModal(tree);
}

void QueryDesignCommand(HWND tree, HTREEITEM item, int id) {
    CDBCore* core = GetDBCore();
    if (!core)
        return;
    QueryDesignDialog dlg;
    dlg.m_core = core;
    dlg.m_tree = tree;
    if (id == ID_DB_DESIGN_QUERY) {
        if (!item)
            return;
        std::string name = CDBTreeView::TextOf(tree, item);
        if (!CloseSource(core, name, 1))
            return;
        dlg.m_newQuery = 0;
        dlg.m_queryName = name;
        dlg.m_treeItem = item;
    } else {
        dlg.m_visual = id == ID_DB_SQL_QUERY ? 0 : 1;
    }
    dlg.DoModal(tree);
}

void RelationCommand(HWND tree) {
    CDBCore* core = GetDBCore();
    if (!core)
        return;
    RelationCreateDialog dlg;
    dlg.m_core = core;
    dlg.m_tree = tree;
    dlg.DoModal(tree);
}
