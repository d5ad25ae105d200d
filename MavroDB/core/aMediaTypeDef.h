// The converter of older-format databases (one call of IDBCore slot 6).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "aDbEngine.h"

struct IPlayerSite;
struct IMediaManager;
struct FieldPlan;

class CMediaTypeDef {
public:
    // S_OK when the old file holds the old media-type table and the new
    // file was made; E_FAIL otherwise (an existing new file included).
    static HRESULT Run(const char* oldPath, const char* newPath, IPlayerSite* host);

private:
    explicit CMediaTypeDef(IPlayerSite* host);
    ~CMediaTypeDef();
    CMediaTypeDef(const CMediaTypeDef&) = delete;
    CMediaTypeDef& operator=(const CMediaTypeDef&) = delete;
    // 0 when the old table is there (the old file stays open), 1 when not,
    // -1 when the file does not open.
    int HasOldMediaTable(const std::string& oldPath);
    bool Convert(const std::string& newPath);
    void ReadMediaTypes();
    bool IsPictureFieldLinked(const std::string& table, const std::string& field);
    bool ConvertTable(const std::string& table);
    void CopyRecords(const std::string& table, const std::vector<FieldPlan>& plan);
    bool ConvertMedia(const std::string& table, const FieldPlan& field, const VARIANT& value,
                      VARIANT* out);
    void CopyIndexes(const std::string& table);
    static void Show(const CdbException& e);

    IPlayerSite* m_host = nullptr;
    IMediaManager* m_media = nullptr;
    CdbDBEngine m_engine;
    CdbWorkspace m_workspace{&m_engine, "MavroWorkspace", "admin", ""};
    std::unique_ptr<CdbDatabase> m_old;
    std::unique_ptr<CdbDatabase> m_new;
    std::map<std::string, long> m_types;  // "table\nfield" -> old code
    std::vector<std::string> m_pending;   // names the media manager stored for this record
};
