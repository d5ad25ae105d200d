#include "RoutineTableWriter.h"

#include <string.h>

namespace {

void U32(std::string& out, DWORD v) {
    for (int i = 0; i < 4; ++i) out.push_back((char)((v >> (8 * i)) & 0xFF));
}

void Text(std::string& out, const char* text) {
    if (!text) {
        U32(out, 0);
        return;
    }
    U32(out, (DWORD)strlen(text) + 1);
    out.append(text, strlen(text) + 1);
}

}  // namespace

std::string ActionListBytes(const std::vector<ActionSpec>& actions) {
    std::string out;
    U32(out, (DWORD)actions.size());
    for (const ActionSpec& a : actions) {
        U32(out, a.kind);
        Text(out, a.text0);
        Text(out, a.text1);
    }
    return out;
}

std::string RoutineTableBytes(const std::vector<RoutineSpec>& routines) {
    std::string out(32, '\0');
    DWORD count = (DWORD)routines.size();
    memcpy(&out[20], &count, 4);
    for (const RoutineSpec& r : routines) {
        U32(out, 0);
        U32(out, (DWORD)r.params.size());
        Text(out, r.name.c_str());
        for (const RoutineParamSpec& p : r.params) {
            U32(out, p.vt);
            Text(out, p.name.c_str());
        }
    }
    for (const RoutineSpec& r : routines) out += ActionListBytes(r.actions);
    return out;
}

std::string IntVariableListBytes(const std::vector<std::pair<std::string, int32_t>>& vars) {
    std::string out;
    U32(out, (DWORD)vars.size());
    for (const auto& v : vars) {
        U32(out, (DWORD)v.first.size());
        out += v.first;
        for (int k = 0; k < 2; ++k) {
            out.push_back((char)VT_I4);
            out.push_back(0);
            U32(out, (DWORD)v.second);
        }
    }
    return out;
}

std::string PageEnterRecord(const std::vector<ActionSpec>& actions) {
    std::string out;
    U32(out, 5);
    for (int i = 0; i < 4; ++i) U32(out, 0);
    return out + ActionListBytes(actions);
}

std::string AppKeyPressRecord(char key, const std::vector<ActionSpec>& actions) {
    std::string out;
    U32(out, 4);
    for (int i = 0; i < 3; ++i) U32(out, 0);
    U32(out, 0x10001);
    U32(out, (DWORD)(unsigned char)key);
    std::string name = std::string("KeyPress") + key;
    U32(out, (DWORD)name.size() + 1);
    out += name;
    out.push_back('\0');
    U32(out, 1);
    const char param[] = "charCode";
    U32(out, sizeof(param));
    out.append(param, sizeof(param));
    U32(out, VT_I2);
    return out + ActionListBytes(actions);
}

std::string AppTimerRecord(DWORD ms, const std::vector<ActionSpec>& actions) {
    std::string out;
    U32(out, 4);
    U32(out, 0x10001);
    U32(out, ms);
    std::string name = "Timer" + std::to_string(ms);
    U32(out, (DWORD)name.size() + 1);
    out += name;
    out.push_back('\0');
    U32(out, 1);
    const char param[] = "timerId";
    U32(out, sizeof(param));
    out.append(param, sizeof(param));
    U32(out, VT_I4);
    out += ActionListBytes(actions);
    for (int i = 0; i < 3; ++i) U32(out, 0);
    return out;
}
