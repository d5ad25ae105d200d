#include "aCmdExec.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "aCursor.h"
#include "aObjItf.h"
#include "aPlaySite.h"
#include "bDBCore.h"
#include "bFileUtil.h"
#include "bStrConv.h"
#include "bTextCut.h"
#include "bTraceLog.h"
#include "bVarMgr.h"

namespace {

const ShellCalls kSystemCalls = {ShellExecuteA, ExitWindowsEx};
const ShellCalls* g_shell = &kSystemCalls;

// Parameter k in source order (the record holds them last first), or null.
VARIANT* Arg(CCmdPacket* p, UINT k) {
    if (!p || !p->m_args || k >= p->m_args->cArgs)
        return nullptr;
    return &p->m_args->rgvarg[p->m_args->cArgs - 1 - k];
}

UINT ArgCount(CCmdPacket* p) {
    return p && p->m_args ? p->m_args->cArgs : 0;
}

bool ArgText(CCmdPacket* p, UINT k, std::string* out) {
    return ArgValueText(Arg(p, k), out);
}

bool ArgInt(CCmdPacket* p, UINT k, LONG* out) {
    return ArgValueInt(Arg(p, k), out);
}

// A name cut to the field with its NUL.
void CopyName(char* dest, size_t size, const std::string& text) {
    MbCopyCutN(dest, size, text.c_str(), text.size());
}

// Renders state 1 to 3 are active.
int ObjectRenderState(IUnknown* object) {
    CComPtr<II_IRender> render;
    if (!object || FAILED(object->QueryInterface(__uuidof(II_IRender), (void**)&render)) || !render)
        return 0;
    return render->GetState();
}

bool IsActiveState(int state) {
    return state >= 1 && state <= 3;
}

}  // namespace

void SetShellCalls(const ShellCalls* calls) {
    g_shell = calls ? calls : &kSystemCalls;
}

int CCmdExecutor::ExecuteCommand(HWND window, UINT command, CCmdPacket* packet) {
    int result;
    if (command < 1000)
        result = ExecInternal(command, packet);
    else if (command >= 1700 && command <= 1710)
        result = ExecDatabase(command, packet);
    else if (command >= 1100 && command <= 1110)
        result = ExecPage(command, packet);
    else if (command >= 2100 && command <= 2109)
        result = 0;
    else if (command >= 1600 && command <= 1603)
        result = ExecEffect(command, packet);
    else if (command >= 1400 && command <= 1407)
        result = ExecObject(command, packet);
    else if (command >= 1500 && command <= 1504)
        result = ExecMotion(command, packet);
    else if (command >= 1900 && command <= 1909) {
        result = 1;
        if (command != 1900) {
            ICmdDevices* d = m_host ? m_host->GetDevices() : nullptr;
            result = d && d->Recorder(command, Arg(packet, 0), Arg(packet, 1)) ? 1 : 0;
        }
    } else if (command >= 2000 && command <= 2006) {
        result = 1;
        if (command != 2000) {
            ICmdDevices* d = m_host ? m_host->GetDevices() : nullptr;
            result = d && d->Capture(command, Arg(packet, 0), Arg(packet, 1)) ? 1 : 0;
        }
    } else
        result = ExecApplication(window, command, packet);
    if (packet)
        packet->Release();
    return result;
}

int CCmdExecutor::ExecInternal(UINT command, CCmdPacket* packet) {
    if (command < 401 || command > 403) {
        LOG_MSG("Unknown internal command ignored: %d", (int)command);
        return 0;
    }
    if (!packet || !m_host)
        return 0;
    IUnknown* object = m_host->FindObject(packet->m_objectName);
    if (!object) {
        LOG_MSG("invalide object name '%s' in page '%s'", packet->m_objectName,
                m_host->GetCurrentPageName().c_str());
        return 0;
    }
    CComPtr<IDispatch> disp;
    object->QueryInterface(IID_IDispatch, (void**)&disp);
    if (command == 403 && !IsActiveState(ObjectRenderState(object))) {
        LOG_MSG("Try invoke method %s for object %s when object is not-active. -- ignored",
                packet->m_member, packet->m_objectName);
        object->Release();
        return 0;
    }
    object->Release();
    if (!disp) {
        LOG_MSG("invalide object name '%s' in page '%s'", packet->m_objectName,
                m_host->GetCurrentPageName().c_str());
        return 0;
    }
    std::wstring member = WideFromMultibyte(packet->m_member);
    LPOLESTR names[1] = {&member[0]};
    DISPID id = 0;
    if (FAILED(disp->GetIDsOfNames(IID_NULL, names, 1, 2048, &id))) {
        if (command == 403)
            LOG_MSG("invalid method name %s for object %s", packet->m_member, packet->m_objectName);
        else
            LOG_MSG("invalid property name %s for object %s", packet->m_member,
                    packet->m_objectName);
        return 0;
    }
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    DISPPARAMS* dp = packet->m_args ? packet->m_args : &none;
    WORD flags = command == 401   ? DISPATCH_PROPERTYGET
                 : command == 402 ? DISPATCH_PROPERTYPUT
                                  : DISPATCH_METHOD;
    VARIANT* result = command == 402 ? nullptr : &packet->m_result;
    if (result)
        VariantClear(result);
    HRESULT hr = disp->Invoke(id, IID_NULL, 2048, flags, dp, result, nullptr, nullptr);
    if (FAILED(hr)) {
        if (command == 401)
            LOG_HRESULT(hr, "get property: %s for object %s", packet->m_member,
                        packet->m_objectName);
        else if (command == 402)
            LOG_HRESULT(hr, "put property %s for object %s", packet->m_member,
                        packet->m_objectName);
        else
            LOG_HRESULT(hr, "invoke method '%s' for object '%s'", packet->m_member,
                        packet->m_objectName);
        return 0;
    }
    return 1;
}

int CCmdExecutor::ExecDatabase(UINT command, CCmdPacket* packet) {
    IDBCore* db = m_host ? m_host->GetDatabase() : nullptr;
    if (!db || command < 1000 || command > 2499 || !packet) {
        LOG_MSG("ExecuteDBActCmd failed -- database disabled");
        return 0;
    }
    std::string source;
    if (!ArgText(packet, 0, &source)) {
        LOG_MSG("ExecuteDBActCmd failed -- invalid param");
        return 0;
    }
    if (source.empty()) {
        LOG_MSG("ExecuteDBActCmd failed -- empty datasrcname");
        return 0;
    }
    DataSourceDescriptor d;
    ZeroMemory(&d, sizeof(d));
    CopyName(d.sourceName, sizeof(d.sourceName), source);
    const UINT n = ArgCount(packet);
    if (command >= 1701 && command <= 1704) {
        static const LONG kMoves[4] = {DB_MOVE_FIRST, DB_MOVE_NEXT, DB_MOVE_PREVIOUS, DB_MOVE_LAST};
        d.position = kMoves[command - 1701];
    } else if (command == 1705 || command == 1708 || command == 1710) {
        if (command == 1705 && n != 2) {
            LOG_MSG("ExecuteDBActCmd failed -- insuffienct params");
            return 0;
        }
        if (command == 1708 && (n < 4 || n % 2 != 0)) {
            LOG_MSG("ExecuteDBActCmd(UPDATE) failed -- invalid params");
            return 0;
        }
        if (command == 1710 && n != 2) {
            LOG_MSG("ExecuteDBActCmd(DEL) failed -- invalid params");
            return 0;
        }
        LONG record = 0;
        if (!ArgInt(packet, 1, &record)) {
            LOG_MSG("ExecuteDBActCmd failed -- invalid param");
            return 0;
        }
        d.position = record;
    }
    if (command == 1709 && (n < 3 || n % 2 == 0)) {
        LOG_MSG("ExecuteDBActCmd(ADDNEW) failed -- invalid params");
        return 0;
    }
    HRESULT hr = S_OK;
    switch (command) {
        case 1700:
            return 1;
        case 1701:
        case 1702:
        case 1703:
        case 1704:
        case 1705:
            hr = db->MoveDataSource(&d);
            break;
        case 1706:
            hr = db->ReexecuteQuery(&d);
            break;
        case 1707:
            hr = db->RequeryDataSource(&d);
            break;
        case 1708:
        case 1709: {
            const UINT first = command == 1708 ? 2 : 1;
            std::vector<FieldValuePair> pairs((n - first) / 2);
            bool ok = true;
            for (size_t i = 0; i < pairs.size(); ++i) {
                FieldValuePair& pair = pairs[i];
                ZeroMemory(&pair, sizeof(pair));
                VariantInit(&pair.value);
                std::string field;
                if (ok && (!ArgText(packet, first + 2 * (UINT)i, &field) || field.empty()))
                    ok = false;
                if (!ok)
                    continue;
                CopyName(pair.fieldName, sizeof(pair.fieldName), field);
                VARIANT* value = Arg(packet, first + 2 * (UINT)i + 1);
                if (V_VT(value) == VT_BSTR) {
                    // The library takes text values as multibyte bytes.
                    std::string text = MultibyteFromBstr(V_BSTR(value));
                    V_VT(&pair.value) = VT_BSTR;
                    V_BSTR(&pair.value) = SysAllocStringByteLen(text.c_str(), (UINT)text.size());
                } else {
                    VariantCopy(&pair.value, value);
                }
            }
            if (ok)
                hr = command == 1708
                         ? db->UpdateDataSourceRecord(&d, pairs.data(), (int)pairs.size())
                         : db->AddDataSourceRecord(&d, pairs.data(), (int)pairs.size());
            for (FieldValuePair& pair : pairs) VariantClear(&pair.value);
            if (!ok) {
                LOG_MSG(command == 1708 ? "ExecuteDBActCmd(UPDATE) failed -- invalid params"
                                        : "ExecuteDBActCmd(ADDNEW) failed -- invalid params");
                return 0;
            }
            break;
        }
        case 1710:
            hr = db->DeleteDataSourceRecord(&d);
            break;
    }
    return FAILED(hr) ? 0 : 1;
}

int CCmdExecutor::ExecPage(UINT command, CCmdPacket* packet) {
    if (m_goto)
        return 0;
    if (command == 1100)
        return 1;
    if (!m_host)
        return 0;
    static const UINT kPageCommands[10] = {32808, 32809, 32811, 32810, 0,
                                           32816, 32812, 32813, 32817, 32818};
    m_goto = true;
    int result;
    if (command == 1105) {
        std::string name;
        ArgText(packet, 0, &name);
        result = m_host->ShowPageByName(name.c_str()) ? 1 : 0;
        if (!result)
            LOG_MSG("Cannot goto topic -- %s not found", name.c_str());
    } else {
        result = m_host->GoHistory(kPageCommands[command - 1101]) ? 1 : 0;
    }
    m_goto = false;
    return result;
}

IUnknown* CCmdExecutor::LookupObject(UINT command, CCmdPacket* packet, const char* kind,
                                     const char* emptyText) {
    std::string name = packet ? packet->m_objectName : "";
    if (!name.empty() && name[0] == '"')
        name = name.size() >= 2 ? name.substr(1, name.size() - 2) : std::string();
    if (name.empty()) {
        LOG_MSG("Cannot execute %s: %d -- empty object name", emptyText, (int)command);
        return nullptr;
    }
    IUnknown* object = m_host ? m_host->FindObject(name.c_str()) : nullptr;
    if (!object)
        LOG_MSG("Cannot execute %s: %d -- '%s' not found in page '%s'", kind, (int)command,
                name.c_str(), m_host ? m_host->GetCurrentPageName().c_str() : "");
    return object;
}

int CCmdExecutor::ExecObject(UINT command, CCmdPacket* packet) {
    IUnknown* object = LookupObject(command, packet, "obj-act", "obj-act");
    if (!object)
        return 0;
    int result = 1;
    LONG value = 0;
    bool hasValue = ArgInt(packet, 0, &value);
    if (command >= 1401 && command <= 1405) {
        result = hasValue && m_host->ScheduleObject(object, command, value) ? 1 : 0;
    } else if (command == 1406 || command == 1407) {
        CComPtr<II_IRender> render;
        object->QueryInterface(__uuidof(II_IRender), (void**)&render);
        if (!render || !IsActiveState(render->GetState())) {
            result = 0;
        } else if (command == 1406) {
            if (m_host->GetObjectTypeId(object) == 0x01040000 && m_host->GetDevices())
                m_host->GetDevices()->SoundObjectShow(object, (SHORT)(value & 0xFFFF));
            render->SetVisible((value & 1) ? TRUE : FALSE);
        } else {
            // IsVisible answers 0 for yes.
            render->SetVisible(render->IsVisible() != 0 ? TRUE : FALSE);
        }
    }
    object->Release();
    return result;
}

int CCmdExecutor::ExecMotion(UINT command, CCmdPacket* packet) {
    IUnknown* object = LookupObject(command, packet, "motion-obj-act", "motion");
    if (!object)
        return 0;
    CComPtr<IAbilityContainer> container;
    CComPtr<IUnknown> unk;
    CComPtr<IAbility> ability;
    if (SUCCEEDED(object->QueryInterface(__uuidof(IAbilityContainer), (void**)&container)) &&
        container && container->QueryAbility(__uuidof(IPathAnimate), &unk) == 0 && unk)
        unk->QueryInterface(__uuidof(IAbility), (void**)&ability);
    object->Release();
    if (!ability)
        return 0;
    int state = ability->GetState();
    switch (command) {
        case 1501:
            ability->Start();
            break;
        case 1502:
            if (state != 0)
                ability->Stop();
            break;
        case 1503:
            if (state == 1)
                ability->Pause();
            break;
        case 1504:
            if (state == 2)
                ability->Resume();
            break;
    }
    return 1;
}

int CCmdExecutor::ExecEffect(UINT command, CCmdPacket* packet) {
    IUnknown* object = LookupObject(command, packet, "effect-obj-act", "effect");
    if (!object)
        return 0;
    CComPtr<II_IRender> render;
    object->QueryInterface(__uuidof(II_IRender), (void**)&render);
    object->Release();
    if (command == 1600)
        return 1;
    if (!render || render->GetState() != 2)
        return 0;
    CComPtr<IUnknown> unk;
    CComPtr<IAbility> effect;
    if (SUCCEEDED(render->GetEffect(&unk)) && unk)
        unk->QueryInterface(__uuidof(IAbility), (void**)&effect);
    if (!effect)
        return 0;
    int state = effect->GetState();
    switch (command) {
        case 1601:
            if (state == 0)
                effect->Start();
            else if (state == 2)
                effect->Resume();
            break;
        case 1602:
            if (state == 1)
                effect->Stop();
            break;
        case 1603:
            if (state == 2)
                effect->Resume();
            else if (state == 0)
                effect->Start();
            else
                effect->Pause();
            break;
    }
    return 1;
}

int CCmdExecutor::Progress(UINT command, CCmdPacket* packet) {
    char ini[MAX_PATH], section[64];
    if (!m_host || !GetAppStateIniPath(ini, sizeof(ini)))
        return 0;
    VariableManager* vars = m_host->GetVariables();
    std::string names;
    switch (command) {
        case 1804:
        case 1805:
            FormatAppStateSection(section, sizeof(section), m_host->GetProjectId(), false);
            if (!vars || !ArgText(packet, 0, &names))
                return 0;
            return (command == 1804 ? vars->LoadFromIni(ini, section, names.c_str())
                                    : vars->SaveToIni(ini, section, names.c_str()))
                       ? 1
                       : 0;
        case 1806: {
            FormatAppStateSection(section, sizeof(section), m_host->GetProjectId(), true);
            char page[260] = "";
            GetPrivateProfileStringA(section, packet ? packet->m_objectName : "", "", page,
                                     sizeof(page), ini);
            if (!page[0] || m_goto)
                return 0;
            m_goto = true;
            bool ok = m_host->ShowPageByName(page);
            m_goto = false;
            if (!ok)
                LOG_MSG("LoadProgress: Cannot goto topic -- %s not found", page);
            return ok ? 1 : 0;
        }
        default: {
            // An empty key would write a line no load can name.
            if (!packet || !packet->m_objectName[0]) {
                LOG_MSG("SaveProgress: empty key refused");
                return 0;
            }
            FormatAppStateSection(section, sizeof(section), m_host->GetProjectId(), true);
            std::string page = m_host->GetCurrentPageName();
            return WritePrivateProfileStringA(section, packet->m_objectName, page.c_str(), ini) ? 1
                                                                                                : 0;
        }
    }
}

int CCmdExecutor::RunApplication(HWND window, CCmdPacket* packet) {
    std::string program;
    if (!ArgText(packet, 0, &program)) {
        LOG_MSG("Run-appl: %s failed -- invalid param", packet ? packet->m_objectName : "");
        return 0;
    }
    std::string params;
    for (UINT k = 1; k < ArgCount(packet); ++k) {
        std::string text;
        if (!ArgText(packet, k, &text))
            break;
        if (!params.empty())
            params += ' ';
        params += "\"" + text + "\"";
    }
    // The shell's own buffers are MAX_PATH long: a longer name or parameter
    // line overruns them.
    if (program.size() > MAX_PATH - 1 || params.size() > MAX_PATH - 1) {
        LOG_MSG("Run-appl: name of %u and parameters of %u bytes refused -- at most %d",
                (unsigned)program.size(), (unsigned)params.size(), MAX_PATH - 1);
        return 0;
    }
    char dir[MAX_PATH] = "";
    bool hasDir = PathDirectory(program.c_str(), dir, sizeof(dir)) && dir[0] &&
                  GetFileAttributesA(dir) != INVALID_FILE_ATTRIBUTES;
    HINSTANCE r = g_shell->shellExecute(window, "Open", program.c_str(),
                                        params.empty() ? nullptr : params.c_str(),
                                        hasDir ? dir : nullptr, SW_SHOWNORMAL);
    if ((INT_PTR)r <= 32) {
        LOG_MSG("Run-appl: %s %s-- Error code(%d)", program.c_str(), params.c_str(),
                (int)(INT_PTR)r);
        return 0;
    }
    return 1;
}

int CCmdExecutor::ShutDown(CCmdPacket* packet) {
    LONG how = 0;
    ArgInt(packet, 0, &how);
    UINT flags;
    switch (how) {
        case 0:
        case 3:
            flags = EWX_SHUTDOWN;
            break;
        case 1:
            flags = EWX_REBOOT;
            break;
        default:
            flags = EWX_LOGOFF;
            break;
    }
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    bool privilege = false;
    HANDLE token = nullptr;
    TOKEN_PRIVILEGES tp;
    ZeroMemory(&tp, sizeof(tp));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    bool nt = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
              version.dwMajorVersion > 3;
#pragma GCC diagnostic pop
    if (nt && flags != EWX_LOGOFF &&
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) &&
        LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid)) {
        tp.PrivilegeCount = 1;
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        privilege = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) != FALSE;
    }
    BOOL ok = g_shell->exitWindows(flags, 0);
    if (privilege) {
        tp.Privileges[0].Attributes = 0;
        AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    }
    if (token)
        CloseHandle(token);
    return ok ? 1 : 0;
}

int CCmdExecutor::ExecApplication(HWND window, UINT command, CCmdPacket* packet) {
    ICmdDevices* dev = m_host ? m_host->GetDevices() : nullptr;
    LONG value = 0;
    switch (command) {
        case 1001:
        case 1002:
        case 1003:
        case 1009:
            if (!m_host)
                return 0;
            m_host->PlaybackCommand(command == 1001   ? 32955
                                    : command == 1002 ? 32954
                                    : command == 1003 ? 32950
                                                      : 32951);
            return 1;
        case 1004:
        case 1005:
        case 1006:
            if (!m_host)
                return 0;
            m_host->ArmPageTimer(command == 1004   ? true
                                 : command == 1005 ? false
                                                   : !m_host->GetPageHoldFlag());
            return 1;
        case 1007:
            if (!m_host)
                return 0;
            m_host->OnPageAction();
            return 1;
        case 1008: {
            std::string spec;
            if (!ArgText(packet, 0, &spec) || !m_host)
                return 0;
            CComPtr<ICursorAbility> cursor;
            if (FAILED(CreateCursorAbility(m_host->GetSite(), &cursor)) || !cursor)
                return 0;
            // Kind 2 (a cursor by number from elsewhere) is refused.
            if (atoi(spec.c_str()) == 2 || FAILED(cursor->FromText(spec.c_str())))
                return 0;
            return SUCCEEDED(cursor->Apply()) ? 1 : 0;
        }
        case 1201:
        case 1202:
            return dev && ArgInt(packet, 0, &value) &&
                           dev->SetMixerVolume((int)command - 1200, value)
                       ? 1
                       : 0;
        case 1203:
            return dev && ArgInt(packet, 0, &value) && dev->SetMixerVolume(3, value & 0xFFFF) ? 1
                                                                                              : 0;
        case 1204:
            return dev && dev->SetMixerVolume(4, 0) ? 1 : 0;
        case 1301:
            return dev && dev->SysSoundPlay() ? 1 : 0;
        case 1302:
            return dev && dev->SysSoundStop() ? 1 : 0;
        case 1303:
            if (!dev)
                return 0;
            return (dev->SysSoundIsPlaying() ? dev->SysSoundStop() : dev->SysSoundPlay()) ? 1 : 0;
        case 1304: {
            LONG volume = 0;
            if (!dev || !dev->SysSoundGetVolume(&volume))
                return 0;
            ArgInt(packet, 0, &value);
            volume += value ? 100 : -100;
            volume = volume < 0 ? 0 : volume > 1000 ? 1000 : volume;
            return dev->SysSoundSetVolume(volume) ? 1 : 0;
        }
        case 1305:
            if (!dev || !ArgInt(packet, 0, &value))
                return 0;
            value = value < 0 ? 0 : value > 10 ? 10 : value;
            return dev->SysSoundSetVolume(value * 100) ? 1 : 0;
        case 1306:
            if (!dev || !ArgInt(packet, 0, &value))
                return 0;
            value = value < 0 ? 0 : value > 9 ? 10 : value;
            return dev->SysSoundSetBalance((value - 5) * 1000) ? 1 : 0;
        case 1801:
            return RunApplication(window, packet);
        case 1802: {
            std::string file;
            if (!ArgText(packet, 0, &file))
                return 0;
            // The shell's own buffers are MAX_PATH long.
            if (file.size() > MAX_PATH - 1) {
                LOG_MSG("Open document: name of %u bytes refused -- at most %d",
                        (unsigned)file.size(), MAX_PATH - 1);
                return 0;
            }
            HINSTANCE r = g_shell->shellExecute(window, "Open", file.c_str(), nullptr, nullptr,
                                                SW_SHOWNORMAL);
            return (INT_PTR)r > 32 ? 1 : 0;
        }
        case 1803:
            return ShutDown(packet);
        case 1804:
        case 1805:
        case 1806:
        case 1807:
            return Progress(command, packet);
        case 2201:
        case 2202:
        case 2203:
        case 2204:
            return 1;
        default:
            LOG_MSG("Unknown act command ignored: %d", (int)command);
            return 0;
    }
}

bool ArgValueInt(const VARIANT* v, LONG* out) {
    if (!v)
        return false;
    VARIANT c;
    VariantInit(&c);
    if (FAILED(VariantChangeType(&c, const_cast<VARIANT*>(v), 0, VT_I4)))
        return false;
    *out = V_I4(&c);
    return true;
}

bool ArgValueText(const VARIANT* v, std::string* out) {
    if (!v || V_VT(v) != VT_BSTR)
        return false;
    *out = MultibyteFromBstr(V_BSTR(v));
    return true;
}
