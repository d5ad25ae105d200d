// The sound recorder: formats and capture geometry, refused requests and
// their boxes, recordings that end at their limit or at the block's end,
// playback and saving, on the scripted capture device; and Wine's own
// capture device (silence, at an erratic pace). Boxes are answered through
// the message box seam while the test pumps the recorder's messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <dsound.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "GraphNotice.h"
#include "ScriptedCapture.h"
#include "TestFiles.h"
#include "aUtil.h"
#include "bByteReader.h"
#include "bMsgBox.h"
#include "bRecorder.h"

namespace {

std::string Text(UINT id) {
    char loaded[512] = "";
    LoadResString(id, loaded, sizeof(loaded));
    return loaded;
}

std::vector<std::string> Texts(std::initializer_list<UINT> ids) {
    std::vector<std::string> out;
    for (UINT id : ids) out.push_back(Text(id));
    return out;
}

// The texts of the boxes shown while alive, and whether the recorder said
// it was showing one at the time.
class RecorderBoxes {
public:
    explicit RecorderBoxes(CSoundRecorder* recorder) {
        s_recorder = recorder;
        s_texts.clear();
        s_inside.clear();
        m_old = SetMessageBoxHandler(Answer);
    }
    ~RecorderBoxes() {
        SetMessageBoxHandler(m_old);
        s_recorder = nullptr;
    }
    const std::vector<std::string>& Shown() const { return s_texts; }
    const std::vector<BOOL>& Inside() const { return s_inside; }
    void Clear() { s_texts.clear(); }

private:
    static int Answer(HWND, const char* text, const char* caption, UINT) {
        EXPECT_EQ(std::string(caption ? caption : ""), Text(130));
        s_texts.push_back(text ? text : "");
        s_inside.push_back(s_recorder ? s_recorder->IsShowingMessage() : FALSE);
        return IDOK;
    }
    PFNMESSAGEBOXHANDLER m_old;
    inline static CSoundRecorder* s_recorder = nullptr;
    inline static std::vector<std::string> s_texts;
    inline static std::vector<BOOL> s_inside;
};

CSoundRecorder* NewRecorder() {
    ISoundRecorder* r = nullptr;
    EXPECT_EQ(CreateSoundRecorder(nullptr, nullptr, &r), S_OK);
    return static_cast<CSoundRecorder*>(r);
}

// Pumps messages until the recorder is idle and its worker's last message
// is shown (guarded: a stuck device must not block the run).
bool PumpUntilIdle(CSoundRecorder* r, const RecorderBoxes& boxes, DWORD guardMs = 30000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (r->GetState() == RECORDER_IDLE && !boxes.Shown().empty())
            return true;
        if (GetTickCount() - start > guardMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

struct WaveInfo {
    uint32_t riffSize = 0, rate = 0;
    uint16_t tag = 0, channels = 0, bits = 0;
    std::string data;
    bool ok = false;
};

// The "fmt " and "data" chunks of a WAV file, wherever they stand.
WaveInfo ReadWave(const std::string& bytes) {
    WaveInfo w;
    CByteReader r(bytes.data(), bytes.size());
    if (r.U32LE() != 0x46464952)  // "RIFF"
        return w;
    w.riffSize = r.U32LE();
    if (r.U32LE() != 0x45564157)  // "WAVE"
        return w;
    bool fmt = false, data = false;
    while (r.Ok() && r.Remaining() >= 8) {
        const uint32_t id = r.U32LE(), size = r.U32LE();
        if (id == 0x20746D66) {  // "fmt ": tag, channels, rate, bytes/s, align, bits
            CByteReader f(r.Current(), r.Remaining() < size ? 0 : size);
            w.tag = f.U16LE();
            w.channels = f.U16LE();
            w.rate = f.U32LE();
            f.Skip(6);
            w.bits = f.U16LE();
            fmt = f.Ok();
        } else if (id == 0x61746164 && r.Has(size)) {  // "data"
            w.data.assign(reinterpret_cast<const char*>(r.Current()), size);
            data = true;
        }
        r.Skip(size + (size & 1));
    }
    w.ok = fmt && data;
    return w;
}

// Where the bytes differ from the capture pattern from `first` on; -1 none.
long long PatternBreak(const std::string& bytes, size_t first) {
    for (size_t i = 0; i < bytes.size(); ++i)
        if ((BYTE)bytes[i] != CapturePattern(first + i))
            return (long long)i;
    return -1;
}

TEST(RecorderTest, FormatsGiveTheCaptureGeometry) {
    ScriptedCapture device;
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    ASSERT_EQ(r->Devices().size(), 2u);
    EXPECT_STREQ(r->Devices()[1].description, "In: scripted");
    EXPECT_STREQ(r->Devices()[1].module, "scripted.drv");
    ASSERT_EQ(r->AvailableRows().size(), 16u);
    EXPECT_EQ(r->Format().nSamplesPerSec, 8000u);  // row 0 at start
    EXPECT_EQ(r->Format().wBitsPerSample, 8);
    struct Case {
        int row;
        DWORD rate;
        WORD bits, channels;
        DWORD notify, buffer;
    } cases[] = {
        {0, 8000, 8, 1, 1024, 16384},      {15, 44100, 16, 2, 22048, 352768},
        {99, 44100, 16, 2, 22048, 352768},  // beyond the list: the last row
        {9, 22050, 8, 2, 5512, 88192},     {6, 11025, 16, 1, 2756, 44096},
        {3, 8000, 16, 2, 4000, 64000},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.row);
        ASSERT_EQ(r->SelectInputFormat(k.row), S_OK);
        EXPECT_EQ(r->Format().nSamplesPerSec, k.rate);
        EXPECT_EQ(r->Format().wBitsPerSample, k.bits);
        EXPECT_EQ(r->Format().nChannels, k.channels);
        EXPECT_EQ(r->Format().nBlockAlign, k.channels * k.bits / 8);
        EXPECT_EQ(r->Format().nAvgBytesPerSec, k.rate * k.channels * k.bits / 8);
        ASSERT_EQ(r->StartRecordInMem(60000), S_OK);
        EXPECT_EQ(r->GetState(), RECORDER_RECORDING);
        EXPECT_EQ(r->NotifySize(), k.notify);
        EXPECT_EQ(r->BufferSize(), k.buffer);
        EXPECT_EQ(r->Stop(), S_OK);
        EXPECT_EQ(r->GetState(), RECORDER_IDLE);
        // Whole notify sizes, or the block to its end.
        EXPECT_TRUE(r->RecordedBytes() % k.notify == 0 || r->RecordedBytes() == kRecorderBlockSize)
            << r->RecordedBytes();
        EXPECT_EQ(PatternBreak(std::string(r->Block(), r->Block() + r->RecordedBytes()), 0), -1);
    }
    EXPECT_EQ(r->SelectInputFormat(-1), E_FAIL);
    // Devices: a negative index fails, one beyond takes the last; the first
    // is the default device.
    EXPECT_EQ(r->SelectDevice(-1), E_FAIL);
    struct {
        int index;
        const GUID* device;
    } devices[] = {{99, &kScriptedDevice}, {0, nullptr}, {1, &kScriptedDevice}};
    for (const auto& d : devices) {
        ASSERT_EQ(r->SelectDevice(d.index), S_OK);
        ASSERT_EQ(r->StartRecordInMem(1000), S_OK);
        r->Stop();
        EXPECT_EQ(device.created.back(), d.device);
    }
    EXPECT_TRUE(boxes.Shown().empty());
    r->Release();

    // A device without the 22050 and 44100 formats offers rows 0 to 7.
    device.formats = 0x00F;
    r = NewRecorder();
    EXPECT_EQ(r->AvailableRows(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    ASSERT_EQ(r->SelectInputFormat(12), S_OK);
    EXPECT_EQ(r->Format().nSamplesPerSec, 11025u);
    EXPECT_EQ(r->Format().wBitsPerSample, 16);
    EXPECT_EQ(r->Format().nChannels, 2);
    r->Release();
}

TEST(RecorderTest, RefusedRequestsShowTheirBoxesAndStartNothing) {
    ScriptedCapture device;
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File("plain"), "x"));
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    const std::string underFile = folder.File("plain") + "\\sub\\a.wav";
    struct Case {
        const char* what;
        HRESULT (*call)(CSoundRecorder*, const std::string&);
        HRESULT result;
        UINT box;  // 0: none
    } cases[] = {
        {"a limit of 0",
         [](CSoundRecorder* c, const std::string&) { return c->StartRecordInMem(0); }, E_FAIL,
         12210},
        {"a negative limit",
         [](CSoundRecorder* c, const std::string&) { return c->StartRecordInMem(-5); }, E_FAIL,
         12210},
        {"a relative name",
         [](CSoundRecorder* c, const std::string&) { return c->StartRecordInFile("a.wav", 100); },
         E_FAIL, 12209},
        {"a name with ?",
         [](CSoundRecorder* c, const std::string&) {
             return c->StartRecordInFile("C:\\a?.wav", 100);
         },
         E_FAIL, 12209},
        {"a folder under a file",
         [](CSoundRecorder* c, const std::string& f) {
             return c->StartRecordInFile(f.c_str(), 100);
         },
         E_FAIL, 12208},
        {"an end before the start",
         [](CSoundRecorder* c, const std::string&) { return c->Play(3000, 1000); }, E_FAIL, 12138},
        {"playing before any recording",
         [](CSoundRecorder* c, const std::string&) { return c->Play(0, -1); }, S_FALSE, 0},
        {"saving into a folder under a file",
         [](CSoundRecorder* c, const std::string& f) { return c->SaveToFile(f.c_str()); }, E_FAIL,
         12208},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        boxes.Clear();
        EXPECT_EQ(k.call(r, underFile), k.result);
        EXPECT_EQ(r->GetState(), RECORDER_IDLE);
        EXPECT_EQ(boxes.Shown(), k.box ? Texts({k.box}) : std::vector<std::string>{});
    }
    EXPECT_TRUE(device.created.size() == 1u);  // only the format scan
    EXPECT_EQ(r->Pause(), S_OK);
    EXPECT_EQ(r->Continue(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_IDLE);
    for (BOOL inside : boxes.Inside()) EXPECT_TRUE(inside);
    EXPECT_FALSE(r->IsShowingMessage());
    r->Release();
}

// The worker's messages reach the UI thread through the recorder's window.
TEST(RecorderTest, MessagesToItsWindowShowAsBoxes) {
    ScriptedCapture device;
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    const HWND window = r->MessageWindow();
    ASSERT_NE(window, nullptr);
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    EXPECT_STREQ(name, "_SoundRecorderWnd");
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_TRUE(IsRectEmpty(&rect));
    ASSERT_TRUE(PostMessageA(window, WM_RECORDER_MESSAGE, 12135, 0));
    const DWORD start = GetTickCount();
    while (boxes.Shown().empty() && GetTickCount() - start < 10000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
    EXPECT_EQ(boxes.Shown(), Texts({12135}));
    r->Release();
}

TEST(RecorderTest, DeviceFailuresEndTheStartWithTheirBoxes) {
    ScriptedCapture device;
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    struct Case {
        bool ScriptedCapture::*failure;
        UINT box;
    } cases[] = {
        {&ScriptedCapture::failCreate, 12109},
        {&ScriptedCapture::failBuffer, 12130},
        {&ScriptedCapture::failStart, 12131},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.box);
        boxes.Clear();
        device.*k.failure = true;
        EXPECT_EQ(r->StartRecordInMem(1000), E_FAIL);
        EXPECT_EQ(r->GetState(), RECORDER_IDLE);
        EXPECT_EQ(boxes.Shown(), Texts({k.box}));
        device.*k.failure = false;
    }
    // A capture buffer that cannot be read ends the worker with 12106.
    boxes.Clear();
    device.failLock = true;
    ASSERT_EQ(r->StartRecordInMem(60000), S_OK);
    const DWORD start = GetTickCount();
    while (boxes.Shown().empty() && GetTickCount() - start < 10000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
    EXPECT_EQ(boxes.Shown(), Texts({12106}));
    EXPECT_EQ(r->Stop(), S_OK);
    r->Release();
}

TEST(RecorderTest, FileRecordingStopsAtItsLimitAndLeavesAWave) {
    ScriptedCapture device;
    ComScope com;
    TempFolder folder;
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    const std::string path = folder.File("deep\\take");  // no extension, no folder yet
    ASSERT_EQ(r->StartRecordInFile(path.c_str(), 400), S_OK);
    EXPECT_STREQ(r->FileName(), (path + ".wav").c_str());
    EXPECT_EQ(r->GetState(), RECORDER_RECORDING);
    // Notifications come without end: only the check at every wake-up ends it.
    ASSERT_TRUE(PumpUntilIdle(r, boxes));
    EXPECT_EQ(boxes.Shown(), Texts({12108}));
    ASSERT_EQ(boxes.Inside().size(), 1u);
    EXPECT_TRUE(boxes.Inside()[0]);

    const std::string bytes = ReadFileBytes(path + ".wav");
    const WaveInfo w = ReadWave(bytes);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.tag, 1);
    EXPECT_EQ(w.rate, 8000u);
    EXPECT_EQ(w.bits, 8);
    EXPECT_EQ(w.channels, 1);
    EXPECT_GT(w.data.size(), 0u);
    EXPECT_EQ(w.data.size() % 1024, 0u);
    EXPECT_EQ(w.riffSize, bytes.size() - 8);
    EXPECT_EQ(w.data.size(), bytes.size() - 44);
    EXPECT_EQ(PatternBreak(w.data, 0), -1);

    // The file plays back through a sound control; no memory buffer.
    boxes.Clear();
    EXPECT_EQ(r->Play(0, -1), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_PLAYING);
    EXPECT_EQ(r->PlaybackBuffer(), nullptr);
    EXPECT_EQ(r->Pause(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_PLAYING_PAUSED);
    EXPECT_EQ(r->Continue(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_PLAYING);
    EXPECT_EQ(r->Stop(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_IDLE);
    EXPECT_EQ(r->Play(400, -1), E_FAIL);  // at the limit
    EXPECT_EQ(boxes.Shown(), Texts({12137}));
    // Saving is for memory recordings only.
    EXPECT_EQ(r->SaveToFile(folder.File("other.wav").c_str()), S_OK);
    EXPECT_EQ(ReadFileBytes(folder.File("other.wav")), "");
    r->Release();
}

TEST(RecorderTest, MemoryRecordingFillsTheBlockThenPlaysWholeSeconds) {
    ScriptedCapture device;
    TempFolder folder;
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    ASSERT_EQ(r->SelectInputFormat(15), S_OK);  // 44100 Hz, 16-bit stereo
    ASSERT_EQ(r->StartRecordInMem(20000), S_OK);
    // While recording, a second start, playing and saving are refused.
    EXPECT_EQ(r->StartRecordInMem(20000), S_FALSE);
    EXPECT_EQ(r->Play(0, -1), S_FALSE);
    EXPECT_EQ(r->SaveToFile(folder.File("early.wav").c_str()), S_FALSE);
    EXPECT_EQ(boxes.Shown(), Texts({12134, 12134, 12134}));
    boxes.Clear();
    ASSERT_TRUE(PumpUntilIdle(r, boxes));
    EXPECT_EQ(boxes.Shown(), Texts({12108}));
    ASSERT_EQ(r->RecordedBytes(), kRecorderBlockSize);  // to the last byte, not past
    EXPECT_EQ(PatternBreak(std::string(r->Block(), r->Block() + kRecorderBlockSize), 0), -1);

    // Whole seconds: 2,097,152 bytes hold 11 of 176,400.
    boxes.Clear();
    struct Case {
        LONG from, to;
        DWORD seconds, first;
    } plays[] = {{0, -1, 11, 0}, {2500, 4900, 2, 2}, {3000, 60000, 8, 3}};
    for (const Case& p : plays) {
        SCOPED_TRACE(p.from);
        ASSERT_EQ(r->Play(p.from, p.to), S_OK);
        EXPECT_EQ(r->GetState(), RECORDER_PLAYING);
        ASSERT_NE(r->PlaybackBuffer(), nullptr);
        DSBCAPS caps = {};
        caps.dwSize = sizeof(caps);
        ASSERT_EQ(r->PlaybackBuffer()->GetCaps(&caps), DS_OK);
        EXPECT_EQ(caps.dwBufferBytes, p.seconds * 176400);
        void* bytes = nullptr;
        DWORD size = 0;
        ASSERT_EQ(r->PlaybackBuffer()->Lock(0, 4096, &bytes, &size, nullptr, nullptr, 0), DS_OK);
        EXPECT_EQ(PatternBreak(std::string((const char*)bytes, size), p.first * 176400), -1);
        r->PlaybackBuffer()->Unlock(bytes, size, nullptr, 0);
    }
    EXPECT_EQ(r->Pause(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_PLAYING_PAUSED);
    EXPECT_EQ(r->Continue(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_PLAYING);
    EXPECT_EQ(r->Play(11000, -1), E_FAIL);  // no whole second from there
    EXPECT_EQ(r->Play(20000, -1), E_FAIL);  // at the limit
    EXPECT_EQ(boxes.Shown(), Texts({12137, 12137}));

    const std::string saved = folder.File("mem");
    ASSERT_EQ(r->SaveToFile(saved.c_str()), S_OK);
    const WaveInfo w = ReadWave(ReadFileBytes(saved + ".wav"));
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.data.size(), kRecorderBlockSize);
    EXPECT_EQ(PatternBreak(w.data, 0), -1);
    r->Release();
}

TEST(RecorderTest, PausedRecordingRefusesPlaybackAndGoesOn) {
    ScriptedCapture device;
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    ASSERT_EQ(r->StartRecordInMem(60000), S_OK);
    EXPECT_EQ(r->Pause(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_RECORDING_PAUSED);
    EXPECT_EQ(r->Play(0, -1), E_FAIL);
    EXPECT_EQ(boxes.Shown(), Texts({12212}));
    EXPECT_EQ(r->Continue(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_RECORDING);
    Sleep(50);
    EXPECT_EQ(r->Stop(), S_OK);
    EXPECT_EQ(r->GetState(), RECORDER_IDLE);
    EXPECT_GT(r->RecordedBytes(), 0u);
    EXPECT_EQ(PatternBreak(std::string(r->Block(), r->Block() + r->RecordedBytes()), 0), -1);
    r->Release();
}

// Wine's capture device: listed, offering every format, and a recording
// that ends at its limit whatever the device delivers.
TEST(RecorderTest, WinesCaptureDeviceRecordsIntoAFile) {
    ComScope com;
    TempFolder folder;
    CSoundRecorder* r = NewRecorder();
    RecorderBoxes boxes(r);
    ASSERT_FALSE(r->Devices().empty());
    EXPECT_STREQ(r->Devices()[0].description, "Primary Sound Driver");
    EXPECT_EQ(r->AvailableRows().size(), 16u);
    const std::string path = folder.File("real.wav");
    ASSERT_EQ(r->StartRecordInFile(path.c_str(), 400), S_OK);
    ASSERT_TRUE(PumpUntilIdle(r, boxes));
    EXPECT_EQ(boxes.Shown(), Texts({12108}));
    const std::string bytes = ReadFileBytes(path);
    const WaveInfo w = ReadWave(bytes);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.rate, 8000u);
    EXPECT_EQ(w.data.size() % 1024, 0u);
    EXPECT_EQ(w.data.size(), bytes.size() - 44);
    r->Release();
}

}  // namespace
