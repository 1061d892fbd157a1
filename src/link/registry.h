// Process-wide state of the device registry, shared by its source files.
#ifndef LINK_REGISTRY_H
#define LINK_REGISTRY_H

#include <atomic>
#include <memory>

#include "transport/uc_device.h"

// The controllers found by the last presence scan; device number =
// position. Released with the library; objects that no handle shares any
// more are destroyed then (a connected one disconnects). Test programs put
// their own device objects here as a scan would.
extern UcDeviceList deviceList;

// Stops request exchanges and background connect sequences.
extern std::atomic<bool> abortRequested;

#endif
