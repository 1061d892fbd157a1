// Events of the Linux platform layer.
#include "kernel_objects.h"

namespace plat {

void EventObject::set() {
    {
        std::lock_guard<std::mutex> guard(lock);
        isSignalled = true;
    }
    if (manualReset)
        changed.notifyAll();
    else
        changed.notifyOne();
}

void EventObject::reset() {
    std::lock_guard<std::mutex> guard(lock);
    isSignalled = false;
}

DWord EventObject::wait(DWord milliseconds) {
    std::unique_lock<std::mutex> guard(lock);
    auto ready = [this] { return isSignalled; };
    if (milliseconds == kInfinite) {
        changed.wait(guard, ready);
    } else if (!changed.waitFor(guard, milliseconds, ready)) {
        return kWaitTimeout;
    }
    if (!manualReset) isSignalled = false;
    return kWaitObject0;
}

Handle os::createEvent(bool manualReset, bool initiallySignalled) {
    return handleInsert(std::make_shared<EventObject>(manualReset, initiallySignalled));
}

bool setEvent(Handle event) {
    auto e = lookupAs<EventObject>(event, KernelObject::Kind::Event);
    if (!e) return false;
    e->set();
    return true;
}

bool resetEvent(Handle event) {
    auto e = lookupAs<EventObject>(event, KernelObject::Kind::Event);
    if (!e) return false;
    e->reset();
    return true;
}

DWord os::waitForSingleObject(Handle object, DWord milliseconds) {
    auto e = lookupAs<EventObject>(object, KernelObject::Kind::Event);
    if (!e) return kWaitFailed;
    return e->wait(milliseconds);
}

}  // namespace plat
