#include "kernel_objects.h"

#include <map>

namespace plat {

namespace {

thread_local DWord tLastError = kErrorSuccess;

struct HandleTable {
    std::mutex lock;
    std::map<Handle, std::shared_ptr<KernelObject>> objects;
    Handle next = 0x100;
};

HandleTable& table() {
    static HandleTable* instance = new HandleTable;  // outlives static destructors
    return *instance;
}

}  // namespace

DWord getLastError() { return tLastError; }
void setLastError(DWord error) { tLastError = error; }

Handle handleInsert(std::shared_ptr<KernelObject> object) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    Handle h = t.next;
    t.next += 4;
    t.objects.emplace(h, std::move(object));
    return h;
}

std::shared_ptr<KernelObject> handleLookup(Handle handle, KernelObject::Kind kind) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(handle);
    if (it == t.objects.end() || it->second->kind != kind) {
        setLastError(kErrorInvalidHandle);
        return nullptr;
    }
    return it->second;
}

bool handleClose(Handle handle, const KernelObject::Kind* kind) {
    std::shared_ptr<KernelObject> released;
    {
        HandleTable& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(handle);
        if (it == t.objects.end() || (kind && it->second->kind != *kind)) {
            setLastError(kErrorInvalidHandle);
            return false;
        }
        released = std::move(it->second);
        t.objects.erase(it);
    }
    return true;  // `released` is destroyed here, outside the table's lock
}

int handleCount() {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return static_cast<int>(t.objects.size());
}

bool closeHandle(Handle handle) { return handleClose(handle); }

}  // namespace plat
