// A test camera: a DirectShow push source of solid 32-bit frames with one
// output pin, which answers its category (capture) through IKsPropertySet
// and offers one VIDEOINFOHEADER format through IAMStreamConfig. While the
// graph runs, a thread delivers a frame every 20 ms.
#pragma once

#include <windows.h>

#define STRSAFE_NO_DEPRECATE
#include <dshow.h>

// A new camera (one reference) of frames width x height in the colour
// (0x00RRGGBB).
IBaseFilter* CreateTestCamera(int width, int height, DWORD colour);
// The camera's current format (AvgTimePerFrame as last set); false when
// the filter is no test camera.
bool TestCameraFormat(IBaseFilter* camera, VIDEOINFOHEADER* format);
// Frames delivered so far.
LONG TestCameraFrames(IBaseFilter* camera);
