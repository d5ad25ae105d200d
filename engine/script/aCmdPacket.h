// Commands travel to the player window as reference-counted packets: the
// command sender on the scripts' side makes them, message 2047 carries them
// and the command executor of the document carries them out and releases
// them.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "aExprEval.h"

class VariableManager;

// The player window message that carries a packet: wParam the command
// number, lParam the packet.
enum { WM_TESK_COMMAND = 2047 };

// Commands that are posted (run after the current step); all others are
// sent.
bool IsPostedCommand(UINT command);

class CCmdPacket {
public:
    // Count 1; takes the argument record (new'ed, its values new[]'ed).
    CCmdPacket(const char* objectName, const char* member, DISPPARAMS* args);
    CCmdPacket(const CCmdPacket&) = delete;
    CCmdPacket& operator=(const CCmdPacket&) = delete;

    LONG AddRef() { return InterlockedIncrement(&m_ref); }
    // Clears and frees the packet with its arguments when the count was 1.
    LONG Release();

    LONG m_ref;
    char m_objectName[32];
    char m_member[128];
    VARIANT m_result;
    DISPPARAMS* m_args;

    // The arguments and the result are cleared and freed; the packet stays
    // (packets made on the stack end with it).
    void Clear();

private:
    ~CCmdPacket() { Clear(); }
    friend class CCmdSender;
};

// A new argument record of `count` empty values (with named-argument room
// when named is non-zero); freed by FreeArgs or by the packet.
DISPPARAMS* NewArgs(UINT count, UINT named = 0);
void FreeArgs(DISPPARAMS* args);

// The sending side, bound to the player window.
class CCmdSender : public IExprObjectAccess {
public:
    explicit CCmdSender(HWND window);
    virtual ~CCmdSender() {}

    void SetVariables(VariableManager* vars) { m_vars = vars; }
    void SetThisName(const char* name) { m_this = name ? name : ""; }
    const std::string& GetThisName() const { return m_this; }
    HWND GetWindow() const { return m_window; }

    // object.member; the object is replaced by the text of a string variable
    // of that name and "this" by the current object's name.
    void SplitObjectMember(const char* text, char objectName[32], char member[128]) const;
    // Takes the arguments; 1.
    int PostCommand(UINT command, const char* objectName, const char* member, DISPPARAMS* args);
    // Property get (401) and put (402); arguments in call order. 1.
    int GetObjectProperty(const char* objectName, const char* member, int argCount, VARIANT* args,
                          VARIANT* result) override;
    int PutObjectProperty(const char* objectName, const char* member, int indexCount,
                          VARIANT* indexArgs, const VARIANT& value);

protected:
    // Hands the packet over (the receiver releases it once); posted or sent.
    // False when it could not be delivered.
    virtual bool Deliver(UINT command, CCmdPacket* packet, bool post);

private:
    void ResolveThis(const char* objectName, char out[32]) const;

    HWND m_window;
    VariableManager* m_vars;
    std::string m_this;
};
