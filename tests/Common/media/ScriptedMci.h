// A scripted MCI device behind the MCI call table: records every command
// and answers opens, status and seeks from set values (CD tracks of set
// positions and lengths); chosen commands fail with a set error.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <digitalv.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bMciDevice.h"

struct MciCommand {
    MCIDEVICEID device;
    UINT message;
    DWORD_PTR flags;
    DWORD_PTR typeId;  // the open's device type when MCI_OPEN_TYPE_ID is set
    std::string type, element, alias;
    DWORD from, to, item, track, audio, timeFormat;
    DWORD_PTR callback;
    DWORD speed;  // a set with MCI_DGV_SET_SPEED
    UINT show;    // a window command's state
    RECT rect;    // a put's rectangle
};

class ScriptedMci {
public:
    ScriptedMci() {
        s_current = this;
        static const MciCalls calls = {Send, ErrorText};
        SetMciCalls(&calls);
    }
    ~ScriptedMci() {
        SetMciCalls(nullptr);
        s_current = nullptr;
    }
    ScriptedMci(const ScriptedMci&) = delete;
    ScriptedMci& operator=(const ScriptedMci&) = delete;

    // The commands of one message, in order.
    std::vector<MciCommand> Of(UINT message) const {
        std::vector<MciCommand> out;
        for (const MciCommand& c : commands)
            if (c.message == message)
                out.push_back(c);
        return out;
    }

    std::vector<MciCommand> commands;
    std::map<UINT, MCIERROR> failures;  // message -> error answered
    WORD nextDevice = 7;
    DWORD length = 0, position = 0, mode = MCI_MODE_STOP, currentTrack = 1, present = 1;
    std::vector<std::pair<DWORD, DWORD>> tracks;  // position and length (ms) of 1, 2...
    std::vector<std::string> openAliases;
    RECT videoRect = {0, 0, 0, 0};  // what MCI_WHERE answers

private:
    static MCIERROR WINAPI Send(MCIDEVICEID device, UINT message, DWORD_PTR flags,
                                DWORD_PTR params) {
        return s_current->Answer(device, message, flags, params);
    }
    static BOOL WINAPI ErrorText(MCIERROR error, LPSTR buffer, UINT size) {
        wsprintfA(buffer, "scripted error %u", (unsigned)error);
        return size > 0;
    }

    MCIERROR Answer(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR params) {
        MciCommand c{};
        c.device = device;
        c.message = message;
        c.flags = flags;
        if (message == MCI_OPEN) {
            auto* p = reinterpret_cast<MCI_OPEN_PARMSA*>(params);
            if (flags & MCI_OPEN_TYPE_ID)
                c.typeId = reinterpret_cast<DWORD_PTR>(p->lpstrDeviceType);
            else if ((flags & MCI_OPEN_TYPE) && p->lpstrDeviceType)
                c.type = p->lpstrDeviceType;
            if ((flags & MCI_OPEN_ELEMENT) && p->lpstrElementName)
                c.element = p->lpstrElementName;
            if ((flags & MCI_OPEN_ALIAS) && p->lpstrAlias)
                c.alias = p->lpstrAlias;
            c.callback = p->dwCallback;
        } else if (message == MCI_PLAY) {
            auto* p = reinterpret_cast<MCI_PLAY_PARMS*>(params);
            c.from = p->dwFrom;
            c.to = p->dwTo;
            c.callback = p->dwCallback;
        } else if (message == MCI_SEEK) {
            c.to = reinterpret_cast<MCI_SEEK_PARMS*>(params)->dwTo;
        } else if (message == MCI_STATUS) {
            auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(params);
            c.item = p->dwItem;
            c.track = p->dwTrack;
        } else if (message == MCI_SET) {
            auto* p = reinterpret_cast<MCI_SET_PARMS*>(params);
            c.audio = p->dwAudio;
            c.timeFormat = p->dwTimeFormat;
            if (flags & MCI_DGV_SET_SPEED)
                c.speed = reinterpret_cast<MCI_DGV_SET_PARMS*>(params)->dwSpeed;
        } else if (message == MCI_WINDOW) {
            c.show = reinterpret_cast<MCI_ANIM_WINDOW_PARMSA*>(params)->nCmdShow;
        } else if (message == MCI_WHERE) {
            reinterpret_cast<MCI_ANIM_RECT_PARMS*>(params)->rc = videoRect;
        }
        commands.push_back(c);
        auto f = failures.find(message);
        if (f != failures.end())
            return f->second;
        switch (message) {
            case MCI_OPEN: {
                for (const std::string& a : openAliases)
                    if (!c.alias.empty() && a == c.alias)
                        return MCIERR_DUPLICATE_ALIAS;
                openAliases.push_back(c.alias);
                reinterpret_cast<MCI_OPEN_PARMSA*>(params)->wDeviceID = nextDevice++;
                return 0;
            }
            case MCI_CLOSE:
                if (!openAliases.empty())
                    openAliases.erase(openAliases.begin());
                return 0;
            case MCI_PLAY:
                mode = MCI_MODE_PLAY;
                return 0;
            case MCI_STOP:
                mode = MCI_MODE_STOP;
                return 0;
            case MCI_PAUSE:
                mode = MCI_MODE_PAUSE;
                return 0;
            case MCI_SEEK:
                if (flags & MCI_SEEK_TO_START)
                    position = 0;
                else if (flags & MCI_SEEK_TO_END)
                    position = length;
                else
                    position = c.to;
                return 0;
            case MCI_STATUS:
                return Status(flags, reinterpret_cast<MCI_STATUS_PARMS*>(params));
            default:
                return 0;
        }
    }

    MCIERROR Status(DWORD_PTR flags, MCI_STATUS_PARMS* p) {
        if (flags & MCI_TRACK) {
            if (p->dwTrack < 1 || p->dwTrack > tracks.size())
                return MCIERR_OUTOFRANGE;
            const auto& t = tracks[p->dwTrack - 1];
            p->dwReturn = p->dwItem == MCI_STATUS_LENGTH ? t.second : t.first;
            return 0;
        }
        switch (p->dwItem) {
            case MCI_STATUS_LENGTH:
                p->dwReturn = length;
                return 0;
            case MCI_STATUS_POSITION:
                p->dwReturn = position;
                return 0;
            case MCI_STATUS_NUMBER_OF_TRACKS:
                p->dwReturn = tracks.size();
                return 0;
            case MCI_STATUS_MODE:
                p->dwReturn = mode;
                return 0;
            case MCI_STATUS_MEDIA_PRESENT:
                p->dwReturn = present;
                return 0;
            case MCI_STATUS_CURRENT_TRACK:
                p->dwReturn = currentTrack;
                return 0;
            default:
                return MCIERR_UNSUPPORTED_FUNCTION;
        }
    }

    static inline ScriptedMci* s_current = nullptr;
};
