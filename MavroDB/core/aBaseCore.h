// CDBCore: the one class of MavroDB that talks to the database layer. It
// opens a database (with password and login retries), keeps one entry per
// table and stored query, and reads, writes and moves them for the player
// (IDBCore) and scripts (IMDBase). Engine exceptions stop in each operation.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "aDbEngine.h"
#include "bDBCore.h"

struct IPlayerSite;
struct IMediaManager;
class CDBPage;

// The record of an open table or query.
struct DataSourceEntry {
    std::string name;
    std::unique_ptr<CdbRecordset> recordset;  // null until opened on demand
    int kind = -1;  // table: 1 linked, 2 linked ODBC, -1 local; query: its type
    int position = 0;
    int recordCount = -1;
    int secondCount = -1;
    int busy = 0;            // set while the table design dialog changes it
    HWND browser = nullptr;  // the browser window showing it, if any
};

// The browser's reload request: posted with an allocated record of the cell
// to make active (wParam 1: the browser's own, 2: the core's after an engine
// error); the browser frees the record.
#define BrowserRefreshMessage 1124
struct BrowserRefreshRecord {
    int col;
    int row;
};
// Posts the request; a post that fails frees the record at once.
bool PostBrowserRefresh(HWND browser, WPARAM kind, int col, int row);
// Closes a browser at once; it writes its pending row before it goes, so
// the caller may close the recordset after.
void CloseBrowserWindow(HWND browser);

// One field of a table design request (type codes 1 to 13: long, double,
// boolean, currency, date, text, memo, then the media kinds picture to
// text as long binary).
struct TableFieldSpec {
    std::string name;
    int type = 6;
    int linkFlag = 0;  // media kinds: the field holds a file name
};

// An index field of a design request, and a relation's pair of fields.
struct IndexFieldSpec {
    std::string name;
    int descending = 0;
};
struct RelationFieldSpec {
    std::string name;         // of the main table
    std::string foreignName;  // of the related table
};

// A previous or collected field value (the FieldValuePair layout, owned).
typedef std::vector<FieldValuePair*> FieldValueList;

class CDBCore {
public:
    CDBCore();
    ~CDBCore();
    CDBCore(const CDBCore&) = delete;
    CDBCore& operator=(const CDBCore&) = delete;

    void SetSite(IPlayerSite* site);
    IPlayerSite* GetSite() const { return m_site; }
    void SetNoticeWindow(HWND window) { m_window = window; }

    // Opening and the lists.
    int OpenDatabaseCore(const char* path, const char* workgroupPath, const char* password,
                         BOOL exclusive, BOOL multiUser, BOOL justCreated, BOOL readOnly);
    DataSourceEntry* FindTableByName(const char* name);
    DataSourceEntry* FindQueryByName(const char* name);
    DataSourceEntry* FindEntry(const DataSourceDescriptor* d);
    void CloseEntry(DataSourceEntry* entry);
    int OpenTableSource(DataSourceEntry* entry);
    int OpenQuerySource(DataSourceEntry* entry);
    int GetTableCount() const { return (int)m_tables.size(); }
    int GetQueryCount() const { return (int)m_queries.size(); }
    DataSourceEntry* TableAt(int i) { return m_tables[(size_t)i].get(); }
    DataSourceEntry* QueryAt(int i) { return m_queries[(size_t)i].get(); }
    CdbDatabase* GetDatabase() { return m_database.get(); }

    // Query parameters.
    int PrepareQryParam(const std::string& query, std::vector<CdbParameter>* params);
    static int SetParameterValue(CdbParameter* parameter, const VARIANT* value);

    // Reading.
    int GetFieldCount(DataSourceDescriptor* d);
    int GetFieldName(DataSourceDescriptor* d, int index);
    int GetFieldType(DataSourceDescriptor* d, int* type);
    int GetFieldValue(DataSourceDescriptor* d, VARIANT* value);
    // Texts of whole records (see IDBRecordTexts), appended to out; the
    // number of records read.
    int ReadRecordTexts(DataSourceDescriptor* d, int count, const char* const* names,
                        const int* types, int fields, std::string* out);
    int GetRecordCount(DataSourceDescriptor* d, int* count);
    int GetRecordPosition(DataSourceDescriptor* d, int* position);
    int IsUpdatable(DataSourceDescriptor* d);
    int DeleteRecord(DataSourceDescriptor* d);
    static void VariantToText(const VARIANT* value, std::string* text, int fieldType);

    // Moves and notices.
    int MoveToRecord(DataSourceDescriptor* d);
    void PostNotice(const char* sourceName, const char* fieldName, const char* objectName,
                    int isQuery, int kind);

    // Single-field writes and empty records.
    int SetFieldValue(DataSourceDescriptor* d, VARIANT* value);
    int AddEmptyRecord(DataSourceDescriptor* d, VARIANT* value);
    int CloseDataSource(DataSourceDescriptor* d);
    int ChangeQuerySQL(const char* sql, const char* query);

    // Lookups and moves of the automation interface.
    int GetTableNameAt(std::string* name, std::string* error, int index);
    int GetQueryNameAt(std::string* name, std::string* error, int index);
    int FindDataSource(const char* name, int isQuery, int* flag);
    int EnsureTableOpen(DataSourceDescriptor* d, std::string* error);
    int EnsureQueryOpen(DataSourceDescriptor* d, std::string* error);
    int MoveSourceFirst(DataSourceDescriptor* d);
    int MoveSourceLast(DataSourceDescriptor* d);
    // 1 while the database page's tree or list has the focus.
    int IsActivePaneView();

    // The database page the host added, and what the windows ask of the
    // open database.
    CDBPage* GetPage() const { return m_page; }
    void SetPage(CDBPage* page) { m_page = page; }
    BOOL IsMultiUser() const { return m_multiUser; }
    HINSTANCE GetCallerResource() const { return m_callerResource; }
    void SetCallerResource(HINSTANCE resource) { m_callerResource = resource; }

    // The manager's tree and list.
    void FillDatabaseTree(HWND tree);
    void AddQueryNodes(HWND tree, HTREEITEM parent);
    void AddQueryFieldsNode(HWND tree, HTREEITEM query);
    void AddUserGroupNodes(HWND tree, HTREEITEM parent);
    void AddUserNodes(HWND tree, HTREEITEM parent);
    void AddGroupNodes(HWND tree, HTREEITEM parent);
    int FillObjectList(int kind, const char* name, HWND list);
    // The type word of a field type code ("" for a code outside the table).
    static std::string FieldTypeWord(int type);

    // Whole-record writes and media names.
    int AddNewRecord(DataSourceDescriptor* d, const FieldValuePair* pairs, int count);
    int UpdateRecord(DataSourceDescriptor* d, const FieldValuePair* pairs, int count);
    static int SafeArrayToText(const VARIANT* value, int linkFlag, std::string* text);
    int ReportMediaNames(const FieldValuePair* const* list, int count, int direction);
    IMediaManager* GetMediaManager();
    void CapturePreviousValues(CdbRecordset* rs, FieldValueList* previous,
                               const FieldValuePair* pairs, int count, long position);
    static void PutValueEntry(FieldValueList* list, const char* name, int linkFlag, VARIANT* value);
    static void ClearValueList(FieldValueList* list);
    void CollectLinkedMediaValues(FieldValueList* list, CdbRecordset* rs, long position,
                                  const DataSourceDescriptor* d);
    void ReportTableMediaNames(const char* tableName, int stored);

    // Text and VARIANT conversion.
    static int VariantToTextBuffer(const VARIANT* value, char** text, int fieldType, int* flag);
    // The text VariantToTextBuffer makes (empty where it makes none).
    static void VariantText(const VARIANT* value, int fieldType, std::string* out, int* flag);
    static int TextToVariant(VARIANT* value, const char* text, int fieldType);

    // Link flag, requery, names, walk.
    int QueryFieldLinkFlag(DataSourceDescriptor* d, int* flag);
    int RequeryQuery(DataSourceEntry* entry);
    int RequeryTable(DataSourceEntry* entry);
    HRESULT IsQueryName(const char* name);
    HRESULT WalkTables(IDBTableWalkSink* sink);
    int CloseBrowsedDataSources();

    // Names and name lists.
    int ValidateObjectName(const char* name, int showMessage, int mediaCheck);
    static int LoadDllString(std::string* text, UINT id);
    int IndexOfEntry(const char* name, int isQuery);
    int GetTableNames(char*** names, int* count);
    int GetQueryFieldInfo(const char* name, int isQuery, char*** names, int* count);
    static void FreeNameArray(char** names, int count);

    // Table design.
    int CreateTable(const std::vector<TableFieldSpec*>& specs, const char* table);
    int CreateFieldOfKind(const TableFieldSpec* spec, std::vector<CdbFieldSpec>* design);
    int AddTableField(const char* table, const TableFieldSpec* spec, short ordinal);
    int DropTableField(const char* table, const char* field);
    int RenameTableField(const char* table, const char* field, const char* newName);
    int RefreshTableFields(const char* table);
    int ReplaceTableField(const char* table, const char* field, const TableFieldSpec* spec);
    int RenameTable(const char* table, const char* newName, HWND tree, HANDLE item);
    int DropTable(DataSourceDescriptor* d);
    int GetFieldLinkFlag(DataSourceDescriptor* d, int* flag) { return QueryFieldLinkFlag(d, flag); }

    // SQL text.
    static std::string SqlTrimCopy(std::string* text);
    static int SqlFindOutside(const char* text, char c);
    static int SqlSkipGroup(const char* text, int position);
    static int SqlFindWord(const char* text, const char* word);
    static std::string FormatSqlLiteral(std::string* text, int type);
    static std::string FieldTypeName(int type);

    // Stored queries.
    int GetQuerySQL(const char* query, std::string* sql);
    int CreateQuery(const char* sql, const char* query, int visual);
    int GetQueryTypeFlag(const char* query, short* flag);
    int RenameQuery(const char* query, const char* newName);
    int DropQuery(DataSourceDescriptor* d);

    // Indexes.
    int GetIndexNames(const char* table, char*** names, int* count);
    int GetIndexFieldNames(const char* table, const char* index, char*** names, int* count);
    int IsIndexFieldDescending(const char* table, const char* index, const char* field, int* flag);
    int IsIndexPrimary(const char* table, const char* index, int* flag);
    int IsIndexUnique(const char* table, const char* index, int* flag);
    int IsIndexIgnoreNulls(const char* table, const char* index, int* flag);
    int CreateIndex(const char* table, const char* index, int flags,
                    const std::vector<IndexFieldSpec*>& fields);
    int DropIndex(const char* table, const char* index);

    // Relations.
    int GetRelationNames(char*** names, int* count);
    int AddRelationNodes(HWND tree, HANDLE parent);
    int GetRelationFields(const char* relation, char*** names, int* count, int primary);
    int GetLocalTableNames(char*** names, int* count);
    int CreateRelation(const char* relation, const char* table, const char* foreignTable,
                       const std::vector<RelationFieldSpec*>& fields, long attributes);
    int DropRelation(const char* relation);

    // External tables, linked-table connections and copies of databases.
    int LinkExternalTable(const char* source, const char* file, const char* path,
                          const char* newName, int kind);
    int ImportExternalTable(const char* source, const char* file, const char* path,
                            const char* newName, int kind, const char* password);
    static int GetFolderOfFile(const char* path, const char* file, std::string* folder);
    int RefreshLinkedTablePath(const char* table);
    int SetLinkTableConnection(DataSourceDescriptor* d, const char* connect);
    int CopyDatabase(const char* path, const char* password);
    int CopyTableMediaProperties(const char* path, const char* sourceTable, const char* targetTable,
                                 const char* password);
    int MakeImportName(const char* name, std::string* result);
    int IsRelationNameFree(const char* name);
    int MakeImportRelationName(const char* name, std::string* result);
    void CopyTableIndexes(CdbDatabase* source, const char* sourceTable, const char* newTable);
    int CopyRelation(const CdbRelationInfo& relation, const char* newName);
    int AddTreeNode(int kind, const char* name);

    // Database files and security.
    int CreateDatabaseFile(const char* path, const char* workgroupPath, const char* password,
                           int multiUser);
    static int ExtractWorkgroupFile(const char* workgroupPath);
    int CreateNewDatabase();
    int ChangeDatabasePassword(const char* newPassword, const char* oldPassword);
    int SetPermissions(const char* account, const char* document, long permissions);
    int GetPermissions(const char* account, const char* document, long* permissions);
    int GetQueryNames(char*** names, int* count);

    // Accounts of the workgroup.
    int GetUserNames(char*** names, int* count);
    int GetGroupNames(char*** names, int* count);
    int GetUserGroups(const char* user, char*** names, int* count);
    int CreateUserInGroup(const char* user, const char* pid);
    int DeleteUser(const char* user);
    int CreateGroup(const char* group, const char* pid);
    int DeleteGroup(const char* group);
    int AddUserToGroup(const char* user, const char* group);
    int RemoveUserFromGroup(const char* user, const char* group);
    int GetCurrentUserName(std::string* name);
    // Whether the login is a member of "Admins".
    bool IsAdminLogin() const { return m_workspace && m_workspace->Login().IsAdmin(); }
    int ChangeUserPassword(const char* user, const char* oldPassword, const char* newPassword);

private:
    int RequeryEntry(DataSourceEntry* entry, int isQuery);
    // Opens another .mvb for reading, asking again for its password while
    // the user wants; null when it does not open.
    std::unique_ptr<CdbDatabase> OpenSource(const char* path, std::string* password);
    // Copies "MediaType" and "BLINK" of a field of another database.
    void CopyFieldMedia(CdbDatabase* source, const std::string& sourceTable,
                        const std::string& field, const std::string& targetTable, bool asBool);
    void AppendTableEntry(const std::string& name, int kind);
    void AppendQueryEntry(const std::string& name, int kind);
    DataSourceEntry* EntryForDrop(DataSourceDescriptor* d, bool query);
    int FinishDrop(DataSourceDescriptor* d, bool query);
    int FillLists();
    void ShowEngineError(const CdbException& e);
    int ReadFieldValue(DataSourceEntry* entry, DataSourceDescriptor* d, int isQuery,
                       VARIANT* value);
    void SetPairs(CdbRecordset* rs, const FieldValuePair* pairs, int count);
    // Opens the descriptor's source unless it is open already; 0 on failure.
    int OpenEntry(DataSourceDescriptor* d, DataSourceEntry* entry);
    // The updatable recordset a write goes to, its source opened on first
    // use; null with the write's answer in *code: 2 while busy, else 0.
    CdbRecordset* WritableRecordset(DataSourceDescriptor* d, DataSourceEntry** entry, int* code);
    // The answer of a failed write (3 deleted, 7 write conflict on a table,
    // 4 locked, 5 not found, else 0), the error shown unless a query expects it.
    int WriteFailure(const CdbException& e, bool query);
    // Reports the media the pairs name as added.
    void ReportAddedMedia(const FieldValuePair* pairs, int count);
    bool TableFieldOf(DataSourceDescriptor* d, CdbFieldInfo* field, std::string* table,
                      bool* fromQuery);

    std::unique_ptr<CdbDBEngine> m_engine;
    IPlayerSite* m_site = nullptr;
    BOOL m_multiUser = FALSE;
    HINSTANCE m_callerResource = nullptr;
    std::vector<std::unique_ptr<DataSourceEntry>> m_tables;
    std::vector<std::unique_ptr<DataSourceEntry>> m_queries;
    std::unique_ptr<CdbDatabase> m_database;
    std::unique_ptr<CdbWorkspace> m_workspace;
    HWND m_window = nullptr;
    CDBPage* m_page = nullptr;
};

// A name array of separately allocated copies (null and 0 for none).
void MakeNameArray(const std::vector<std::string>& names, char*** array, int* count);

// Appends a node with its text, image (selected the same) and kind.
HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const std::string& text, int image, int kind);

// A name field of a record read within its size (no NUL needed).
std::string FieldText(const char* field, size_t size);
