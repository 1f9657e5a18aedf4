// The probe of the Windows 9x switch device, which tells the newer driver
// generation apart and names the display adapter's class subkey.
#include "driver/driver.h"
#include "platform/state.h"

namespace {

enum : DWORD {
  SwitchRequestStart = 1,
  SwitchRequestDevice = 2,
  SwitchRequestClassKey = 3,
  SwitchRequestVendor = 4,
};

enum : DWORD { SwitchTextSize = 255 };

// The class-key reply is "<8 bytes of the device's own>" followed by the
// subkey name.
enum : DWORD { ClassKeyNameOffset = 8 };

HANDLE OpenSwitchDevice(LPCSTR path) {
  return CreateFileA(path, 0, 0, NULL, 0, FILE_FLAG_DELETE_ON_CLOSE, NULL);
}

BOOL SwitchRequest(HANDLE device, DWORD code, DWORD *input, DWORD inputSize,
                   void *reply, DWORD replySize) {
  DWORD returned = 0; // never consulted: the replies have fixed sizes
  return DeviceIoControl(device, code, input, inputSize, reply, replySize,
                         &returned, NULL);
}

} // namespace

void ProbeSwitchDriver(void) {
  // One byte more than the device may write, so a reply that fills all 255
  // bytes without a terminator still ends inside the buffer.
  char text[SwitchTextSize + 1] = {};

  HANDLE device = OpenSwitchDevice("\\\\.\\KqSWITCH.VXD");
  if (device != INVALID_HANDLE_VALUE)
    SwitchDriverPresent = 1;
  else
    device = OpenSwitchDevice("\\\\.\\Kq_M1.VXD");
  if (device == INVALID_HANDLE_VALUE)
    return;

  DWORD started = 0;
  SwitchRequest(device, SwitchRequestStart, NULL, 0, &started, sizeof started);

  DWORD deviceReply[13] = {};
  if (!SwitchRequest(device, SwitchRequestDevice, NULL, 0, deviceReply,
                     sizeof deviceReply)) {
    CloseHandle(device);
    return;
  }
  DWORD deviceRef = deviceReply[1];

  char reply[SwitchTextSize] = {};
  if (SwitchRequest(device, SwitchRequestClassKey, &deviceRef, sizeof deviceRef,
                    reply, SwitchTextSize)) {
    DWORD i = 0;
    for (; i < SwitchTextSize && reply[i] != 0; ++i)
      text[i] = reply[i];
    text[i] = 0;
  } else {
    text[0] = 0;
  }

  // Everything from the ninth byte on; a text of eight bytes or fewer (or
  // none) leaves the name empty because the rest of the buffer is zeros.
  DWORD n = 0;
  for (; text[ClassKeyNameOffset + n] != 0; ++n)
    DriverKeyName[n] = text[ClassKeyNameOffset + n];
  DriverKeyName[n] = 0;

  char vendor[SwitchTextSize];
  SwitchRequest(device, SwitchRequestVendor, &deviceRef, sizeof deviceRef,
                vendor, SwitchTextSize);
  CloseHandle(device);
}
