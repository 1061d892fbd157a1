// In-process simulator of the positioner controller: the peer that the
// host libraries talk to in tests, over TCP (port 2101, with the two UDP
// discovery probes) or through a USB-like byte interface.
//
// Controller model
//   Registers are kept per (address, index). GET answers ACK (length 24)
//   with reason 0, the stored value and the request's correlation number;
//   a GET of a register that is not stored answers reason 1 ("invalid
//   address") with value 0. SET stores its first data word under any
//   address and answers ACK reason 0 with the stored value and the SET's
//   correlation number; a SET without a data word answers reason 2 and
//   stores nothing. DO, STAT, CHRQ, ACK and TELL from the host are logged
//   and not answered.
//   Register 359 = Options::controllerType, 360 = Options::hardwareId.
//   SET 362 (new id) followed by SET 367 := uc::value::kIdUnlockCode makes
//   360 the new id.
//   SET 10 (resynchronisation) is acknowledged and then the controller
//   stays quiet towards that host for kSyncQuietMs, so that the host's
//   drain of the stream ends even while periodic TELLs run.
//
// Axes 0..5, moved by a ticker thread every few milliseconds:
//   1032 target (absolute) or distance (relative), 1304 rotation count
//   (stored only); 1037 := 1 absolute approach, 1037 := 0 ends it;
//   1048 := 1 relative move by 1032; 1038 / 1039 := 1 continuous
//   backward / forward (:= 0 stops it); 1040 / 1041 := 1 one step of
//   1353 (step width, default 100) backward / forward, done at once;
//   1107 := 1 stops every movement; 1092 := 1 moves to the reference mark
//   (kReferenceMark units from the axis's start position; a counter reset
//   does not move it), then sets 1031 to the position there and the
//   reference-valid bit; 1103 := 1 sets the position counter to 0. Axes move at Options::speed units per second and stop at
//   +-Options::travelLimit (the end-of-travel bit is then set).
//   Position 1045, status 1028, reference position 1031 and speed 1346
//   (signed, 0 at rest) are ordinary registers updated by the model; GET
//   reads them, setRegister() overrides them.
//   SET 1310 := 1 starts a capacity measurement: kCapacityDelayMs later a
//   TELL 1385 of that axis carries register 1385 (default 950 + 10 * axis).
//   Amplitude 1024 (default 30000), frequency 1025 (1000), DC level 1300
//   (0), enables 1377/1378/1379/1384 (0) are preset for every axis.
//
// Status word 1028 bits:
//   0x001 kStatusMoving          an axis movement is running
//   0x002 kStatusTargetReached   the last absolute/relative move arrived
//   0x100 kStatusEndOfTravel     the axis stands at a travel limit
//   0x400 kStatusApproachActive  absolute approach on (1037 = 1)
//   0x800 kStatusReferenceValid  1031 holds a valid reference position
//
// Output
//   Replies go to the host that sent the request. TELLs (periodic,
//   capacity result, flood, sendTell) and sendRaw go to every connected
//   host: every open TCP connection and the USB side (whose queue keeps
//   at most kMaxUsbQueue transfers, so an unread USB side costs nothing). Periodic TELLs (correlation 0) of 1045, 1028,
//   1031, 1346 for each axis 0..5 are sent every Options::tellIntervalMs,
//   all 24 in one write. A report never follows a sendTell made after the
//   setRegister() that changed its values.
//
// Network side (Options::network)
//   TCP listener on <address>:2101 (SO_REUSEADDR). Every accepted
//   connection is served at the same time as the others (up to
//   kMaxConnections; one more closes the oldest). A host that closes is
//   dropped. Sends block at most kSendTimeoutMs; a host that does not read
//   for that long is disconnected.
//   Probes: UDP sockets bound to 224.0.5.128:2362 (ADDP) and
//   239.255.170.171:7071 ("Velorix discovery"), SO_REUSEADDR, groups
//   joined on Options::multicastInterface. A datagram that matches the
//   probe is answered by one unicast datagram to the prober's address and
//   port, sent from a socket bound to <address> (so its source is
//   <address>). Other datagrams are recorded but not answered.
//
// Input
//   Bytes from a host are framed by the length word. A length below 16 or
//   above 508, or an opcode outside 0..6, drops one byte and framing is
//   retried at the next; a partial telegram that stalls for kStallMs is
//   dropped. Every drop counts in malformedInputs() and goes to the log
//   sink. Every well-formed telegram is recorded (received()), at most
//   kMaxReceived (oldest dropped first).
//
// Faults (setFault). Switches stay on until turned off; one-shots fire
// once per setFault(fault, true) call (setFault(fault, false) cancels a
// one-shot that is still pending). The parameter 0 selects the default.
//   Silent         switch. Requests are logged and applied (SETs stored)
//                  but the controller itself sends nothing: no ACK, no
//                  periodic, capacity or flood TELL. sendTell, sendRaw and
//                  the one-shot faults still send.
//   Late           switch. Every ACK is sent <parameter> ms (default 500)
//                  after the request; ACKs keep their order.
//   SplitSegments  switch. Every telegram is written in <parameter>-byte
//                  pieces (default 1), kSplitPauseMs apart (TCP_NODELAY),
//                  so each piece is its own TCP segment; on the USB side
//                  each piece is its own transfer.
//   Garbage        one-shot. <parameter> junk bytes 0xA5 (default 3) go out
//                  right before the next telegram (on USB: as a transfer
//                  of their own).
//   OutOfStepTell  one-shot, now: TELL of register 10, index 0, value 0.
//   LengthTooLarge one-shot, now: a 24-byte TELL of 1045 (axis 0) whose
//                  length word is <parameter> (default 509).
//   BadOpcode      one-shot, now: a 20-byte telegram (length 16, register
//                  1045, axis 0) with opcode <parameter> (default 1, GET).
//   CloseConnection one-shot, TCP only. <parameter> 0: close every open
//                  connection now. 1: the next request that arrives on a
//                  connection is logged, not answered, and that
//                  connection is closed. New connections are accepted
//                  afterwards as before.
//   TellFlood      switch. TELLs of 1045 (axis 0) at <parameter> per
//                  second (default 1000, at most 100000). A tick that falls
//                  behind skips what it missed; while SplitSegments is on,
//                  a tick sends only the TELLs of about 24 pieces, so that
//                  the controller's reports and the end of the faults are
//                  not held up by pauses between pieces.
#ifndef SIM_SIM_CONTROLLER_H
#define SIM_SIM_CONTROLLER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wire/registers.h"
#include "wire/status_bits.h"

namespace sim {

constexpr int32_t kStatusMoving = uc::status::kMoving;
constexpr int32_t kStatusTargetReached = uc::status::kTargetReached;
constexpr int32_t kStatusEndOfTravel = uc::status::kEndOfTravel;
constexpr int32_t kStatusApproachActive = uc::status::kApproachActive;
constexpr int32_t kStatusReferenceValid = uc::status::kReferenceValid;

constexpr int kAxisCount = 6;
constexpr int32_t kReferenceMark = 2000;  // physical position of the reference mark
constexpr int kCapacityDelayMs = 50;
constexpr int kSyncQuietMs = 700;
constexpr int kSplitPauseMs = 1;
constexpr int kStallMs = 500;
constexpr int kSendTimeoutMs = 2000;
constexpr int kMaxConnections = 8;
constexpr size_t kMaxReceived = 100000;
constexpr size_t kMaxProbesKept = 256;
constexpr size_t kMaxUsbQueue = 1024;  // pending transfers; oldest dropped

struct Options {
    std::string address = "127.0.0.2";  // IPv4 to listen on (TCP 2101) and to answer probes from
    bool network = true;                // false: USB byte interface only, no sockets
    bool answerAddp = true, answerVelorix = true;
    std::string multicastInterface = "127.0.0.1";  // local address on which to join the groups
    int tellIntervalMs = 0;                        // periodic TELLs of 1045/1028/1031/1346 per axis; 0 = off
    // Log a line per telegram the host sends, with the CLOCK_MONOTONIC time
    // it arrived ("request SET 1107[0] := 1 at 1234.567890"), for tests and
    // benchmarks that check the wire from another process.
    bool logRequests = false;
    // The same for the periodic reports it sends ("report TELL 1045[0] :=
    // 500 at 1234.567890"), logged right before they go out.
    bool logReports = false;
    int32_t controllerType = uc::value::kPositionerType;  // register 359
    int32_t hardwareId = 1000;                            // register 360
    int32_t speed = 1000000;                              // axis speed in position units per second
    int32_t travelLimit = 50000000;                       // axes stop at +-travelLimit
    // Receives one line per notable event (connections, dropped input,
    // probes, faults). Called on the simulator's threads, one call at a
    // time; it must not call back into the Controller. Nothing is logged
    // when empty.
    std::function<void(const std::string&)> log;
};

class Controller {
public:
    explicit Controller(Options options = Options());
    ~Controller();  // stops every thread, closes every socket
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Starts the ticker and (with network) opens the listener and the probe
    // sockets. Returns false, with nothing left open, when a socket cannot
    // be made or bound, or when called a second time.
    bool start();
    // Same as the destructor's shutdown; safe to call more than once.
    void stop();

    const std::string& address() const;

    void setRegister(int32_t address, int32_t index, int32_t value);
    bool registerValue(int32_t address, int32_t index, int32_t* value) const;

    struct Received {
        int32_t opcode, address, index, correlation;
        std::vector<int32_t> data;
        std::chrono::steady_clock::time_point at;  // when the simulator took it
    };
    std::vector<Received> received() const;  // every telegram the host sent, in order
    void clearReceived();
    bool waitForReceived(size_t count, int timeoutMs);  // until at least count are logged
    int malformedInputs() const;                        // input drops (see Input above)

    void sendTell(int32_t address, int32_t index, int32_t value);  // to every connected host
    void sendRaw(const void* bytes, size_t n);                     // raw bytes to the host(s)

    enum class Fault {
        Silent,
        Late,
        SplitSegments,
        Garbage,
        OutOfStepTell,
        LengthTooLarge,
        BadOpcode,
        CloseConnection,
        TellFlood
    };
    void setFault(Fault fault, bool on, int parameter = 0);

    std::vector<std::vector<uint8_t>> probesReceived(bool addp) const;  // raw probe datagrams
    int connectionsAccepted() const;
    int connectionsOpen() const;

    // USB-side byte interface (used by a fake libusb and a simulated kernel
    // driver). usbWrite: one host->controller bulk-out transfer (any
    // framing; telegrams may span transfers). usbRead: the next
    // controller->host transfer, one telegram per call (a fault may split
    // it), at most maxBytes (the rest stays for the next call); false when
    // nothing came within timeoutMs (or the controller stopped).
    void usbWrite(const void* bytes, size_t n);
    bool usbRead(std::vector<uint8_t>& transfer, int timeoutMs, size_t maxBytes = UC_MAX_TELEGRAM);
    // Discards every controller->host transfer not yet read.
    void usbFlush();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace sim

#endif
