// Loads dravex.dll and tormak.dll the way applications do (LoadLibrary,
// GetProcAddress by export name) and calls functions that need no
// controller: argument checks, the counts without devices, trace lines,
// and the wait condition and mutex classes through their mangled names.
// Run it inside a private network namespace: the counts probe the network.
// With the arguments "controller ID" a simulated controller with hardware
// id ID answers in that namespace at 127.0.0.2, and both libraries open it
// over TCP, read from it and close it again; dravex then opens it once more
// by address and leaves that handle open: the process must still end at
// once, without a failure line of that handle's receive loop.
// 32-bit: the Positioner functions are called by their plain and their
// decorated stdcall names; 64-bit: there are plain names only.
// Exit code: the number of failed checks.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

#if defined(_WIN64)
constexpr const char* kBits = "64-bit";
constexpr bool kDecoratedNames = false;
#else
constexpr const char* kBits = "32-bit";
constexpr bool kDecoratedNames = true;
#endif

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok) ++failures;
}

template <typename Function>
Function find(HMODULE module, const char* name) {
    auto generic = reinterpret_cast<void (*)()>(GetProcAddress(module, name));
    if (!generic) check(false, name);
    return reinterpret_cast<Function>(generic);
}

struct DetectedDevice {
    int32_t hardwareId;
    bool unavailable;
    uint8_t reserved[3];
};

using CheckFn = int32_t(__stdcall*)(DetectedDevice**);
using ConnectFn = int32_t(__stdcall*)(int32_t, int32_t*);
using CloseFn = int32_t(__stdcall*)(int32_t);
using GetAmplitudeFn = int32_t(__stdcall*)(int32_t, int32_t, int32_t*);
using TraceInitFn = void (*)(const char*, const char*, int);
using TraceTraceFn = void (*)(const char*, ...);
using TraceErrorFn = bool (*)(bool, const char*, ...);
using MemberFn = void(__attribute__((thiscall)) *)(void*);
using WaitFn = bool(__attribute__((thiscall)) *)(void*, int);
using WakeFn = bool(__attribute__((thiscall)) *)(void*);
using SleepFn = void (*)(unsigned long);
using TmkPresenceFn = int (*)(int*, bool);
using TmkInitFn = int (*)(int, int*);
using TmkHandleFn = int (*)(int);
using TmkGetFn = int (*)(int, int*);
using SetAmplitudeFn = int32_t(__stdcall*)(int32_t, int32_t, int32_t);
using ConnectAddressFn = int32_t(__stdcall*)(const char*, int32_t*);

// Opens device 0 of the scan, sets and reads back an amplitude, closes it.
void controllerSession(HMODULE dravex, ConnectFn connect, CloseFn close, GetAmplitudeFn getAmplitude) {
    auto setAmplitude = find<SetAmplitudeFn>(dravex, "PositionerAmplitude");
    if (!setAmplitude) return;
    int32_t handle = -1;
    check(connect(0, &handle) == 0 && handle == 1, "PositionerConnect(0) over TCP: 0, handle 1");
    if (handle != 1) return;
    check(setAmplitude(handle, 2, 54321) == 0, "PositionerAmplitude(axis 2, 54321): 0");
    int32_t value = 0;
    check(getAmplitude(handle, 2, &value) == 0 && value == 54321, "PositionerGetAmplitude reads 54321 back");
    check(close(handle) == 0, "PositionerClose: 0");
    auto connectAddress = find<ConnectAddressFn>(
        dravex, kDecoratedNames ? "_PositionerConnectAddress@8" : "PositionerConnectAddress");
    if (!connectAddress) return;
    int32_t leftOpen = -1;
    check(connectAddress("127.0.0.2", &leftOpen) == 0 && leftOpen == 1,
          "PositionerConnectAddress(127.0.0.2): 0, handle 1 (left open for the exit)");
    value = 0;
    check(getAmplitude(leftOpen, 2, &value) == 0 && value == 54321, "... and reads 54321 on it");
}

void positionerChecks(HMODULE dravex, int controllerId) {
    auto connect = find<ConnectFn>(dravex, "PositionerConnect");
    auto close = find<CloseFn>(dravex, "PositionerClose");
    auto getAmplitude =
        find<GetAmplitudeFn>(dravex, kDecoratedNames ? "_PositionerGetAmplitude@12" : "PositionerGetAmplitude");
    auto countDevices = find<CheckFn>(dravex, "PositionerCheck");
    if (!connect || !close || !getAmplitude || !countDevices) return;
    if (kDecoratedNames) {
        check(connect == find<ConnectFn>(dravex, "_PositionerConnect@8"),
              "plain and decorated names lead to the same code");
    } else {
        check(GetProcAddress(dravex, "_PositionerConnect@8") == nullptr, "no decorated names");
    }

    int32_t handle = 7;
    check(connect(0, &handle) == 9 && handle == -1, "PositionerConnect before a scan: 9, handle -1");
    check(close(0) == -1, "PositionerClose(0): -1");
    int32_t value = 0;
    check(getAmplitude(1, 0, &value) == 2, "PositionerGetAmplitude on a closed handle: 2");

    DetectedDevice* devices = nullptr;
    const int32_t count = countDevices(&devices);
    if (controllerId < 0) {
        check(count == 0 && devices != nullptr, "PositionerCheck without controllers: 0 and an array");
        return;
    }
    // The controller answers both discovery probes: listed once per probe.
    check(count >= 1 && devices && devices[0].hardwareId == controllerId && !devices[0].unavailable,
          "PositionerCheck finds the controller with its hardware id");
    if (count >= 1) controllerSession(dravex, connect, close, getAmplitude);
}

void traceAndClassChecks(HMODULE dravex) {
    auto traceInit = find<TraceInitFn>(dravex, "_Z9traceInitPKcS0_i");
    auto traceTrace = find<TraceTraceFn>(dravex, "_Z10traceTracePKcz");
    auto traceError = find<TraceErrorFn>(dravex, "_Z10traceErrorbPKcz");
    auto conditionNew = find<MemberFn>(dravex, "_ZN14IWaitConditionC1Ev");
    auto conditionDelete = find<MemberFn>(dravex, "_ZN14IWaitConditionD1Ev");
    auto conditionWait = find<WaitFn>(dravex, "_ZN14IWaitCondition4waitEi");
    auto conditionWake = find<WakeFn>(dravex, "_ZN14IWaitCondition7wakeOneEv");
    auto mutexNew = find<MemberFn>(dravex, "_ZN6IMutexC1Ev");
    auto mutexDelete = find<MemberFn>(dravex, "_ZN6IMutexD1Ev");
    auto mutexLock = find<MemberFn>(dravex, "_ZN6IMutex4lockEv");
    auto mutexUnlock = find<MemberFn>(dravex, "_ZN6IMutex6unlockEv");
    auto sleep = find<SleepFn>(dravex, "_ZN7IThread5sleepEm");
    if (!traceInit || !traceTrace || !traceError || !conditionNew || !conditionDelete || !conditionWait ||
        !conditionWake || !mutexNew || !mutexDelete || !mutexLock || !mutexUnlock || !sleep)
        return;

    traceInit(nullptr, "Smoke", 4);
    traceTrace("trace line %d from %s", 1, "dll_smoke");
    check(traceError(false, "error line %s", "from dll_smoke"), "traceError writes and returns true");

    void* condition = nullptr;  // the object: one pointer
    conditionNew(&condition);
    check(conditionWake(&condition), "IWaitCondition::wakeOne: true");
    conditionWake(&condition);
    check(conditionWait(&condition, 0), "first wait after two wakes: true");
    check(!conditionWait(&condition, 0), "second wait: false (one wake kept)");
    const DWORD before = GetTickCount();
    check(!conditionWait(&condition, 100), "wait of 100 ms without a wake: false");
    check(GetTickCount() - before >= 90, "... after about 100 ms");
    conditionDelete(&condition);

    void* mutex = nullptr;
    mutexNew(&mutex);
    mutexLock(&mutex);
    mutexLock(&mutex);  // recursive
    mutexUnlock(&mutex);
    mutexUnlock(&mutex);
    mutexDelete(&mutex);
    check(true, "IMutex locked twice and unlocked twice by one thread");
    sleep(10);
}

void tormakChecks(HMODULE tormak, int controllerId) {
    auto transferSize = find<TmkHandleFn>(tormak, "TMK_getTransferSize");
    auto init = find<TmkInitFn>(tormak, "TMK_init");
    auto getType = find<TmkGetFn>(tormak, "TMK_getType");
    auto presence = find<TmkPresenceFn>(tormak, "TMK_presence");
    if (!transferSize || !init || !getType || !presence) return;
    check(transferSize(0) == -1, "TMK_getTransferSize before a carrier: -1");
    int handle = 5;
    check(init(0, &handle) == -1, "TMK_init before a carrier: -1");
    int type = 0;
    check(getType(3, &type) == -1, "TMK_getType on a handle never opened: -1");
    int count = 42;
    const int r = presence(&count, true);
    if (controllerId < 0) {
        check(r == 2 && count == 42, "TMK_presence without devices: 2, count untouched");
        return;
    }
    check(r == 0 && count == 1, "TMK_presence finds the controller by ADDP: 0, count 1");
    auto getId = find<TmkGetFn>(tormak, "TMK_getId");
    auto shutdown = find<TmkHandleFn>(tormak, "TMK_shutdown");
    if (r != 0 || !getId || !shutdown) return;
    check(init(0, &handle) == 0 && handle > 0, "TMK_init(0) over TCP: 0, a socket handle");
    int id = 0;
    check(getId(handle, &id) == 0 && id == controllerId, "TMK_getId reads the hardware id");
    check(shutdown(handle) == 0, "TMK_shutdown: 0");
}

}  // namespace

int main(int argc, char** argv) {
    int controllerId = -1;
    if (argc == 3 && std::strcmp(argv[1], "controller") == 0) controllerId = std::atoi(argv[2]);
    std::printf("%s DLLs\n", kBits);
    HMODULE dravex = LoadLibraryA("dravex.dll");
    HMODULE tormak = LoadLibraryA("tormak.dll");
    check(dravex != nullptr, "dravex.dll loads");
    check(tormak != nullptr, "tormak.dll loads");
    if (dravex) {
        positionerChecks(dravex, controllerId);
        traceAndClassChecks(dravex);
    }
    if (tormak) tormakChecks(tormak, controllerId);
    std::printf("%d failed\n", failures);
    return failures;
}
