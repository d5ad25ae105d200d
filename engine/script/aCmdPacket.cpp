#include "aCmdPacket.h"

#include <string.h>

#include "bStrConv.h"
#include "bTextCut.h"
#include "bVarMgr.h"

bool IsPostedCommand(UINT command) {
    return command == 1003 || (command >= 1101 && command <= 1110) || command == 1806;
}

DISPPARAMS* NewArgs(UINT count, UINT named) {
    DISPPARAMS* p = new DISPPARAMS;
    p->cArgs = count;
    p->cNamedArgs = named;
    p->rgvarg = count ? new VARIANT[count] : nullptr;
    p->rgdispidNamedArgs = named ? new DISPID[named] : nullptr;
    for (UINT i = 0; i < count; ++i) VariantInit(&p->rgvarg[i]);
    return p;
}

void FreeArgs(DISPPARAMS* args) {
    if (!args)
        return;
    for (UINT i = 0; i < args->cArgs; ++i) VariantClear(&args->rgvarg[i]);
    delete[] args->rgvarg;
    delete[] args->rgdispidNamedArgs;
    delete args;
}

CCmdPacket::CCmdPacket(const char* objectName, const char* member, DISPPARAMS* args)
    : m_ref(1), m_args(args) {
    MbCopyCutN(m_objectName, sizeof(m_objectName), objectName, objectName ? strlen(objectName) : 0);
    MbCopyCutN(m_member, sizeof(m_member), member, member ? strlen(member) : 0);
    VariantInit(&m_result);
}

void CCmdPacket::Clear() {
    FreeArgs(m_args);
    m_args = nullptr;
    VariantClear(&m_result);
}

LONG CCmdPacket::Release() {
    LONG n = InterlockedDecrement(&m_ref);
    if (n == 0)
        delete this;
    return n;
}

CCmdSender::CCmdSender(HWND window) : m_window(window), m_vars(nullptr) {}

void CCmdSender::ResolveThis(const char* objectName, char out[32]) const {
    const char* name = objectName ? objectName : "";
    if (strcmp(name, "this") == 0)
        name = m_this.c_str();
    MbCopyCutN(out, 32, name, strlen(name));
}

void CCmdSender::SplitObjectMember(const char* text, char objectName[32], char member[128]) const {
    if (!text || !*text)
        return;
    const char* dot = strchr(text, '.');
    if (!dot) {
        MbCopyCutN(objectName, 32, text, strlen(text));
        member[0] = 0;
        return;
    }
    MbCopyCutN(objectName, 32, text, (size_t)(dot - text));
    MbCopyCutN(member, 128, dot + 1, strlen(dot + 1));
    std::string s;
    if (m_vars && m_vars->GetStringValue(objectName, &s))
        MbCopyCutN(objectName, 32, s.c_str(), s.size());
    if (strcmp(objectName, "this") == 0)
        MbCopyCutN(objectName, 32, m_this.c_str(), m_this.size());
}

bool CCmdSender::Deliver(UINT command, CCmdPacket* packet, bool post) {
    if (post)
        return PostMessageA(m_window, WM_TESK_COMMAND, command, (LPARAM)packet) != FALSE;
    if (!IsWindow(m_window))
        return false;
    SendMessageA(m_window, WM_TESK_COMMAND, command, (LPARAM)packet);
    return true;
}

int CCmdSender::PostCommand(UINT command, const char* objectName, const char* member,
                            DISPPARAMS* args) {
    CCmdPacket* packet = new CCmdPacket(objectName, member, args);
    // A packet that never reaches the window would never be released.
    if (!Deliver(command, packet, IsPostedCommand(command)))
        packet->Release();
    return 1;
}

int CCmdSender::GetObjectProperty(const char* objectName, const char* member, int argCount,
                                  VARIANT* args, VARIANT* result) {
    char name[32];
    ResolveThis(objectName, name);
    DISPPARAMS* dp = NewArgs(argCount > 0 ? (UINT)argCount : 0);
    for (int i = 0; i < argCount; ++i) VariantCopy(&dp->rgvarg[i], &args[i]);
    CCmdPacket* packet = new CCmdPacket(name, member, dp);
    packet->AddRef();  // the executor's release leaves it alive
    if (!Deliver(401, packet, false))
        packet->Release();  // the receiver's reference
    if (result) {
        VariantClear(result);
        VariantCopy(result, &packet->m_result);
    }
    packet->Release();
    return 1;
}

int CCmdSender::PutObjectProperty(const char* objectName, const char* member, int indexCount,
                                  VARIANT* indexArgs, const VARIANT& value) {
    char name[32];
    ResolveThis(objectName, name);
    if (indexCount < 0)
        indexCount = 0;
    DISPPARAMS* dp = NewArgs((UINT)indexCount + 1, 1);
    VariantCopy(&dp->rgvarg[0], const_cast<VARIANT*>(&value));
    for (int i = 0; i < indexCount; ++i) VariantCopy(&dp->rgvarg[i + 1], &indexArgs[i]);
    dp->rgdispidNamedArgs[0] = DISPID_PROPERTYPUT;
    CCmdPacket* packet = new CCmdPacket(name, member, dp);
    packet->AddRef();
    if (!Deliver(402, packet, false))
        packet->Release();
    packet->Release();
    return 1;
}
