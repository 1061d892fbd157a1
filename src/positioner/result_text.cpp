#include "result_text.h"

#include "uc_telegram.h"

namespace pos {

namespace {

struct ResultText {
    int32_t code;
    const char* text;
};

const ResultText kResultTexts[] = {
    {RC_OK, "Done."},
    {RC_ERROR,
     "The library refused the call (no free handle, a handle that is not open, or a controller that "
     "ended the exchange); close handles no longer needed and open the controller again."},
    {RC_TIMEOUT,
     "The controller did not answer in time; check that it is switched on and connected, then try "
     "again."},
    {RC_NOT_CONNECTED,
     "The controller is not connected (not opened, closed, or the connection was lost); check its "
     "power and its cable or network, then open it again."},
    {RC_DRIVER_ERROR,
     "The USB library or the driver's device list failed; check that the USB driver is installed, "
     "reconnect the controller and scan again."},
    {RC_INVALID_PARAM,
     "An argument is out of range, a pointer is null, or a file cannot be opened; check the values "
     "against their documented ranges, and the file's name."},
    {RC_DEVICE_LOCKED, "The controller is held by another program or handle; close that one, then try again."},
    {RC_SYSTEM_ERROR,
     "An operating-system call of the USB driver failed; reconnect the controller and try again."},
    {RC_NO_DEVICE,
     "No controller has that device number in the last scan; scan again and use a number from the "
     "new list."},
    {RC_OUT_OF_SYNC, "The connection lost the telegram framing and is being resynchronised; repeat the call."},
};

const char* const kUnknownResult =
    "Unknown result code; check that the program and the library belong to the same release.";

}  // namespace

const char* resultText(int32_t code) {
    for (const ResultText& r : kResultTexts) {
        if (r.code == code) return r.text;
    }
    return kUnknownResult;
}

}  // namespace pos
