// The SSE2 kernels (internal to the kernels). Callers make sure the
// processor has SSE2 before calling.
#pragma once

#include "aKernels.h"

// Runs kernel F*10 + V with SSE2; false when it has no vector form.
bool RunBlitKernelVector(int kernel, const BlitKernelArgs& args);
