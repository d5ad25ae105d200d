#include "RoutineTableWriter.h"

#include "ByteWriter.h"

std::string ActionListBytes(const std::vector<ActionSpec>& actions) {
    CByteWriter out;
    out.U32((uint32_t)actions.size());
    for (const ActionSpec& a : actions) out.U32(a.kind).CountedText(a.text0).CountedText(a.text1);
    return out.Str();
}

std::string RoutineTableBytes(const std::vector<RoutineSpec>& routines) {
    CByteWriter out;
    out.Zeros(20).U32((uint32_t)routines.size()).Zeros(8);
    for (const RoutineSpec& r : routines) {
        out.U32(0).U32((uint32_t)r.params.size()).CountedText(r.name.c_str());
        for (const RoutineParamSpec& p : r.params) out.U32(p.vt).CountedText(p.name.c_str());
    }
    for (const RoutineSpec& r : routines) out.Bytes(ActionListBytes(r.actions));
    return out.Str();
}

std::string IntVariableListBytes(const std::vector<std::pair<std::string, int32_t>>& vars) {
    CByteWriter out;
    out.U32((uint32_t)vars.size());
    for (const auto& v : vars) {
        out.U32((uint32_t)v.first.size()).Bytes(v.first);
        for (int k = 0; k < 2; ++k) out.U16(VT_I4).U32((uint32_t)v.second);
    }
    return out.Str();
}

std::string PageEnterRecord(const std::vector<ActionSpec>& actions) {
    CByteWriter out;
    out.U32(5).Zeros(16).Bytes(ActionListBytes(actions));
    return out.Str();
}

std::string AppKeyPressRecord(char key, const std::vector<ActionSpec>& actions) {
    const std::string name = std::string("KeyPress") + key;
    CByteWriter out;
    out.U32(4).Zeros(12).U32(0x10001).U32((uint32_t)(unsigned char)key);
    out.CountedText(name.c_str()).U32(1).CountedText("charCode").U32(VT_I2);
    out.Bytes(ActionListBytes(actions));
    return out.Str();
}

static std::string TimerEntryBytes(DWORD ms, const std::vector<ActionSpec>& actions) {
    const std::string name = "Timer" + std::to_string(ms);
    CByteWriter out;
    out.U32(0x10001).U32(ms).CountedText(name.c_str()).U32(1).CountedText("timerId");
    out.U32(VT_I4).Bytes(ActionListBytes(actions));
    return out.Str();
}

std::string AppTimerRecord(DWORD ms, const std::vector<ActionSpec>& actions) {
    CByteWriter out;
    out.U32(4).Bytes(TimerEntryBytes(ms, actions)).Zeros(12);
    return out.Str();
}

std::string ObjectTimerRecord(DWORD ms, const std::vector<ActionSpec>& actions) {
    CByteWriter out;
    out.U32(1).Bytes(TimerEntryBytes(ms, actions));
    return out.Str();
}
