// The command executor: carries out the numbered commands that arrive as
// packets with message 2047 against the document, the current page and its
// objects, the devices and the database, and releases each packet.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "aCmdPacket.h"

struct IDBCore;
struct IPlayerSite;
class VariableManager;

// Devices that commands drive; their parts are built elsewhere. Every
// operation answers false when the device is absent.
class ICmdDevices {
public:
    // Kinds 1 and 2 volume of the speaker and headphone lines, 3 and 4 mute.
    virtual bool SetMixerVolume(int kind, LONG value) = 0;
    // The work's system sound.
    virtual bool SysSoundPlay() = 0;
    virtual bool SysSoundStop() = 0;
    virtual bool SysSoundIsPlaying() = 0;
    virtual bool SysSoundGetVolume(LONG* volume) = 0;
    virtual bool SysSoundSetVolume(LONG volume) = 0;
    virtual bool SysSoundSetBalance(LONG balance) = 0;
    // The sound object's own show and hide operation.
    virtual bool SoundObjectShow(IUnknown* object, SHORT value) = 0;
    // Sound recorder (1901 to 1909) and video capture (2001 to 2006): the
    // command with its first two arguments (null when absent).
    virtual bool Recorder(UINT command, const VARIANT* a0, const VARIANT* a1) = 0;
    virtual bool Capture(UINT command, const VARIANT* a0, const VARIANT* a1) = 0;

protected:
    ~ICmdDevices() {}
};

// What the executor needs of the document.
class ICmdHost {
public:
    virtual IPlayerSite* GetSite() = 0;
    // Playback commands of the document (32950 exit, 32951 rewind, 32954
    // continue, 32955 pause).
    virtual void PlaybackCommand(UINT id) = 0;
    // A page command of the history (32808 ... 32818); false when no page.
    virtual bool GoHistory(UINT pageCommand) = 0;
    // Makes the named page current; false when there is none.
    virtual bool ShowPageByName(const char* name) = 0;
    virtual std::string GetCurrentPageName() = 0;
    // The action id stored with the current page (1007).
    virtual void OnPageAction() = 0;
    virtual bool GetPageHoldFlag() = 0;
    virtual void ArmPageTimer(bool on) = 0;
    // The named object of the current page (counted), or null.
    virtual IUnknown* FindObject(const char* name) = 0;
    virtual DWORD GetObjectTypeId(IUnknown* object) = 0;
    // The object's wrapper: 1401 show after, 1402 hide after (ms from the
    // page clock), 1403 show at, 1404 hide at, 1405 refresh after.
    virtual bool ScheduleObject(IUnknown* object, UINT command, LONG time) = 0;
    virtual ULONGLONG GetProjectId() = 0;
    virtual VariableManager* GetVariables() = 0;
    // Not counted; null while the database is disabled.
    virtual IDBCore* GetDatabase() = 0;
    virtual ICmdDevices* GetDevices() = 0;

protected:
    ~ICmdHost() {}
};

// A command argument as a 32-bit integer (any value that converts) or as a
// text (strings only); false otherwise.
bool ArgValueInt(const VARIANT* v, LONG* out);
bool ArgValueText(const VARIANT* v, std::string* out);

// The shell calls of 1801 to 1803, one seam for tests.
struct ShellCalls {
    HINSTANCE(WINAPI* shellExecute)
    (HWND window, const char* verb, const char* file, const char* parameters, const char* directory,
     INT show);
    BOOL(WINAPI* exitWindows)(UINT flags, DWORD reason);
};
// Null restores the system's.
void SetShellCalls(const ShellCalls* calls);

class CCmdExecutor {
public:
    explicit CCmdExecutor(ICmdHost* host) : m_host(host), m_goto(false) {}

    // Picks the handler by number, releases the packet once; 1 done, 0 not.
    int ExecuteCommand(HWND window, UINT command, CCmdPacket* packet);

    bool IsGoing() const { return m_goto; }

private:
    int ExecInternal(UINT command, CCmdPacket* packet);
    int ExecDatabase(UINT command, CCmdPacket* packet);
    int ExecPage(UINT command, CCmdPacket* packet);
    int ExecEffect(UINT command, CCmdPacket* packet);
    int ExecObject(UINT command, CCmdPacket* packet);
    int ExecMotion(UINT command, CCmdPacket* packet);
    int ExecApplication(HWND window, UINT command, CCmdPacket* packet);
    int RunApplication(HWND window, CCmdPacket* packet);
    int ShutDown(CCmdPacket* packet);
    int Progress(UINT command, CCmdPacket* packet);
    // The object named by the packet, counted; logs with the kind's texts.
    IUnknown* LookupObject(UINT command, CCmdPacket* packet, const char* kind,
                           const char* emptyText);

    ICmdHost* m_host;
    bool m_goto;  // a page command is running
};
