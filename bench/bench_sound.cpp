// Sound speed. Opening a 10-s WAV from memory through the sound control
// (graph built over our source filter, duration read) against RenderFile
// of the same bytes in a file with the duration read (goal 1.2); reading
// 16 MB through the source's queued 64-KB requests against a memcpy of the
// bytes (goal 4).
#include "BenchClock.h"
#include <windows.h>

#define STRSAFE_NO_DEPRECATE
#include <dshow.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "SoundWriter.h"
#include "bMemSource.h"
#include "bSoundCtrl.h"

namespace {

void Report(const char* name, double t, double ref, const char* goal) {
    printf("%-40s %8.3f ms  reference %8.3f ms  ratio %5.2f%s%s\n", name, t * 1e3, ref * 1e3,
           t / ref, goal ? "  goal <= " : "", goal ? goal : "");
}

void Fail(const char* what, HRESULT hr) {
    fprintf(stderr, "%s failed: 0x%08lx\n", what, (unsigned long)hr);
    exit(1);
}

void BenchOpen() {
    const std::string wave = WaveFile(10000, 8000, true);
    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    const std::string path =
        std::string(folder) + "bench_sound_" + std::to_string(GetCurrentProcessId()) + ".wav";
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (f == INVALID_HANDLE_VALUE ||
        !WriteFile(f, wave.data(), (DWORD)wave.size(), &written, nullptr))
        Fail("writing the WAV file", E_FAIL);
    CloseHandle(f);

    auto openMemory = [&] {
        SoundControl* c = new SoundControl(nullptr);
        c->AddRef();
        HRESULT hr = c->OpenFromMemory(wave.data(), (DWORD)wave.size(), "bench.wav");
        if (FAILED(hr))
            Fail("OpenFromMemory", hr);
        LONGLONG duration = 0;
        c->get_Duration(&duration);
        if (duration != 100000000)
            Fail("the memory duration", E_FAIL);
        c->Release();
    };
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    auto renderFile = [&] {
        IGraphBuilder* graph = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IGraphBuilder, reinterpret_cast<void**>(&graph));
        if (FAILED(hr))
            Fail("the filter graph", hr);
        hr = graph->RenderFile(wide, nullptr);
        if (FAILED(hr))
            Fail("RenderFile", hr);
        IMediaSeeking* seeking = nullptr;
        graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
        LONGLONG duration = 0;
        if (!seeking || FAILED(seeking->GetDuration(&duration)) || duration != 100000000)
            Fail("the file duration", E_FAIL);
        seeking->Release();
        graph->Release();
    };
    // Taken in turns, so that a change of the machine's load falls on both.
    openMemory();
    renderFile();
    double memory = 1e30, file = 1e30;
    for (int i = 0; i < 7; ++i) {
        const double m = FastestRun(openMemory, 1), f = FastestRun(renderFile, 1);
        memory = m < memory ? m : memory;
        file = f < file ? f : file;
    }
    DeleteFileA(path.c_str());
    Report("open a 10-s WAV from memory", memory, file, "1.2");
}

void BenchRead() {
    const DWORD total = 16u << 20, chunk = 64u << 10;
    const int queued = 4;
    std::vector<BYTE> block(total), copy(total);
    for (DWORD i = 0; i < total; ++i) block[i] = (BYTE)(i * 7 + (i >> 12));

    IBaseFilter* filter = nullptr;
    HRESULT hr = CreateMemReader(block.data(), total, &MEDIASUBTYPE_WAVE, &filter);
    if (FAILED(hr))
        Fail("CreateMemReader", hr);
    IPin* pin = nullptr;
    hr = GetMemReaderPin(filter, &pin);
    if (FAILED(hr))
        Fail("the reader's pin", hr);
    IAsyncReader* reader = nullptr;
    hr = pin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void**>(&reader));
    if (FAILED(hr))
        Fail("IAsyncReader", hr);
    ALLOCATOR_PROPERTIES props = {queued, (LONG)chunk, 1, 0};
    IMemAllocator* allocator = nullptr;
    hr = reader->RequestAllocator(nullptr, &props, &allocator);
    if (FAILED(hr) || FAILED(allocator->Commit()))
        Fail("the allocator", hr);

    unsigned long long sum = 0;
    const double read = BestOf(
        [&] {
            DWORD position = 0;
            int outstanding = 0;
            DWORD got = 0;
            while (position < total || outstanding) {
                while (outstanding < queued && position < total) {
                    IMediaSample* sample = nullptr;
                    HRESULT h = allocator->GetBuffer(&sample, nullptr, nullptr, 0);
                    if (FAILED(h))
                        Fail("GetBuffer", h);
                    REFERENCE_TIME start = (REFERENCE_TIME)position * 10000000;
                    REFERENCE_TIME stop = (REFERENCE_TIME)(position + chunk) * 10000000;
                    sample->SetTime(&start, &stop);
                    h = reader->Request(sample, position);
                    if (FAILED(h))
                        Fail("Request", h);
                    position += chunk;
                    ++outstanding;
                }
                IMediaSample* done = nullptr;
                DWORD_PTR user = 0;
                HRESULT h = reader->WaitForNext(INFINITE, &done, &user);
                if (FAILED(h) || !done)
                    Fail("WaitForNext", h);
                BYTE* p = nullptr;
                done->GetPointer(&p);
                got += (DWORD)done->GetActualDataLength();
                sum += p[user % 97];
                done->Release();
                --outstanding;
            }
            if (got != total)
                Fail("the bytes read", E_FAIL);
        },
        9);
    const double memcopy = BestOf(
        [&] {
            memcpy(copy.data(), block.data(), total);
            sum += copy[sum % total];
        },
        5);
    allocator->Decommit();
    allocator->Release();
    reader->Release();
    pin->Release();
    filter->Release();
    Report("read 16 MB in queued 64-KB requests", read, memcopy, "4");
    if (sum == 42)
        printf(" \n");
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    BenchOpen();
    BenchRead();
    CoUninitialize();
    return 0;
}
