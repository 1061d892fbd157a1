// Opening and closing a driver device: the result of every connect step,
// clean-up after failures, the instance lock within this process and
// across processes, and calls on a closed device.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "driver_fixture.h"
#include "platform/usb_driver_protocol.h"

using namespace drvtest;

namespace {

class DriverConnectTest : public DriverTest {};

TEST_F(DriverConnectTest, EveryFailingStepGivesItsResultAndLeavesNothingOpen) {
    sim = plug(1);
    const struct {
        simdrv::Fault fault;
        int result;
    } steps[] = {
        {simdrv::Fault::ClassDevs, RC_DRIVER_ERROR},       {simdrv::Fault::EnumInterfaces, RC_SYSTEM_ERROR},
        {simdrv::Fault::InterfaceDetail, RC_SYSTEM_ERROR}, {simdrv::Fault::InstanceId, RC_ERROR},
        {simdrv::Fault::InstanceLock, RC_DEVICE_LOCKED},   {simdrv::Fault::OpenDevice, RC_SYSTEM_ERROR},
        {simdrv::Fault::CreateEvent, RC_SYSTEM_ERROR},
    };
    const int handles = simdrv::openHandleCount();
    UcUsbDriverDevice d(1, 0);
    for (const auto& step : steps) {
        SCOPED_TRACE(static_cast<int>(step.fault));
        simdrv::failNext(step.fault);
        EXPECT_EQ(d.connect(), step.result);
        EXPECT_FALSE(d.link().connected);
        EXPECT_EQ(simdrv::openHandleCount(), handles);
        // The lock was given back: the next attempt succeeds.
        ASSERT_EQ(d.connect(), RC_OK);
        EXPECT_EQ(d.send(20, get(359).data()), RC_OK);
        EXPECT_EQ(d.disconnect(), RC_OK);
        EXPECT_EQ(simdrv::openHandleCount(), handles);
    }
}

TEST_F(DriverConnectTest, MissingInterfaceGivesNotConnected) {
    plug(1);
    UcUsbDriverDevice beyond(1, 1);
    EXPECT_EQ(beyond.connect(), RC_NOT_CONNECTED);
    UcUsbDriverDevice otherGuid(0, 0);
    EXPECT_EQ(otherGuid.connect(), RC_NOT_CONNECTED);
    EXPECT_FALSE(beyond.link().connected || otherGuid.link().connected);
}

TEST_F(DriverConnectTest, SecondConnectIsRefusedAndTheDeviceStaysUsable) {
    connectOne();
    const Bytes first = tell(1045, 1);
    const Bytes second = tell(1045, 2);
    queue(join({first, second}));
    ASSERT_EQ(take().bytes, first);
    const int handles = simdrv::openHandleCount();

    EXPECT_EQ(device->connect(), RC_DEVICE_LOCKED);
    EXPECT_TRUE(device->link().connected);
    EXPECT_EQ(simdrv::openHandleCount(), handles);
    // Same I/O state: the rest of the transfer is still there.
    EXPECT_EQ(take().bytes, second);
    EXPECT_EQ(device->send(20, get(359).data()), RC_OK);
    EXPECT_EQ(simdrv::written(sim), get(359));

    // A second object for the same controller is refused as well.
    UcUsbDriverDevice other(1, 0);
    EXPECT_EQ(other.connect(), RC_DEVICE_LOCKED);
    EXPECT_EQ(device->disconnect(), RC_OK);
    EXPECT_EQ(other.connect(), RC_OK);
}

TEST_F(DriverConnectTest, DisconnectEndsTheReadInFlightAndReconnectStartsAfresh) {
    connectOne();
    EXPECT_EQ(take().result, RC_TIMEOUT);  // a read stays in flight
    EXPECT_EQ(device->disconnect(), RC_OK);
    EXPECT_FALSE(device->link().connected);
    EXPECT_EQ(device->disconnect(), RC_OK);
    EXPECT_EQ(take().result, RC_NOT_CONNECTED);
    EXPECT_EQ(device->send(20, get(359).data()), RC_NOT_CONNECTED);
    EXPECT_EQ(simdrv::writeRequests(sim), 0);

    ASSERT_EQ(device->connect(), RC_OK);
    const Bytes t = tell(1028, 5);
    queue(t);
    EXPECT_EQ(take().bytes, t);
    EXPECT_EQ(simdrv::readRequests(sim), 2);
}

// A forked process with its own simulated driver, driven step by step
// through pipes: each step byte makes it run `step` and write back the
// result.
class ChildProcess {
public:
    explicit ChildProcess(const std::function<int(int step)>& step) {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(down[1]);
            close(up[0]);
            unsigned char n;
            while (read(down[0], &n, 1) == 1) {
                const signed char r = static_cast<signed char>(step(n));
                if (write(up[1], &r, 1) != 1) break;
            }
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        toChild_ = down[1];
        fromChild_ = up[0];
    }
    ~ChildProcess() {
        close(toChild_);
        close(fromChild_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    // Runs a step in the child; -100 when it gave no answer within 10 s.
    int run(unsigned char n) {
        if (write(toChild_, &n, 1) != 1) return -100;
        pollfd p = {fromChild_, POLLIN, 0};
        signed char r;
        if (poll(&p, 1, 10000) != 1 || read(fromChild_, &r, 1) != 1) return -100;
        return r;
    }
    void killAndWait() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
};

// Child steps: 1 plugs its controller (same instance id as the parent's
// first), 2 connects, 3 disconnects.
std::function<int(int)> childWithController(const std::string& id) {
    auto device = std::make_shared<UcUsbDriverDevice>(1, 0);
    return [id, device](int step) {
        switch (step) {
            case 1:
                simdrv::removeAllDevices();
                simdrv::addDevice(plat::kGuidVariant1, id);
                return 0;
            case 2: return device->connect();
            case 3: return device->disconnect();
            default: return -1;
        }
    };
}

TEST_F(DriverConnectTest, SecondProcessIsRefusedUntilTheFirstDisconnects) {
    ChildProcess child(childWithController(instanceId(1)));
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.run(1), 0);
    connectOne();  // plugs instanceId(1) here
    EXPECT_EQ(child.run(2), RC_DEVICE_LOCKED);
    EXPECT_EQ(device->disconnect(), RC_OK);
    EXPECT_EQ(child.run(2), RC_OK);
    // Now the child holds it.
    EXPECT_EQ(device->connect(), RC_DEVICE_LOCKED);
    EXPECT_EQ(child.run(3), RC_OK);
    EXPECT_EQ(device->connect(), RC_OK);
}

TEST_F(DriverConnectTest, LockIsReleasedWhenItsHolderDies) {
    ChildProcess child(childWithController(instanceId(1)));
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.run(1), 0);
    ASSERT_EQ(child.run(2), RC_OK);
    sim = plug(1);
    device.reset(new UcUsbDriverDevice(1, 0));
    EXPECT_EQ(device->connect(), RC_DEVICE_LOCKED);
    child.killAndWait();
    EXPECT_EQ(device->connect(), RC_OK);
}

}  // namespace
