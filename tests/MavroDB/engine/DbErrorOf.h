// The Jet error number a layer call throws, 0 when it throws none.
#pragma once

#include <functional>

#include "aDbEngine.h"

inline long ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CdbException& e) {
        return e.Number();
    }
    return 0;
}
