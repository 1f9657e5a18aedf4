// The display-control channel: one private escape to the display driver per
// request.  Kept alone in its file so that a test rig can link its own
// channel in its place.
#include "driver/driver.h"

int SendDisplayControl(int inputSize, const void *input, int replySize,
                       void *reply) {
  // A fresh DC per request: the display driver may be replaced or reset by a
  // mode change between two requests, and a held DC would outlive that.
  HDC dc = CreateDCA("DISPLAY", NULL, NULL, NULL);
  if (dc == NULL)
    return 0;
  int result =
      ExtEscape(dc, DisplayControlEscape, inputSize, static_cast<LPCSTR>(input),
                replySize, static_cast<LPSTR>(reply));
  DeleteDC(dc);
  return result;
}
