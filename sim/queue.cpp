// USER32's message queue: the messages posted to the thread and those
// other threads send it, PostQuitMessage's quit, window timers, the idle
// hook through which the user acts, and the loops of boxes and menus.
#include <algorithm>
#include <deque>

#include "sim/internal.h"

namespace {

// A window timer from SetTimer.  Time in the simulation is the user's: each
// action comes after a pause in which every running timer comes due once.
struct Timer {
  HWND window;
  UINT_PTR id;
  bool due; // comes due before the user's next action
};

// Running window timers, oldest first.
std::vector<Timer> timers;
// Posted messages not yet taken, oldest first.
std::deque<MSG> queue;
// Messages another thread sent (SendNotifyMessage, SendMessage) and the
// thread has not taken yet, oldest first.  They are not in the queue: the
// thread's next wait calls the window procedure with them before it looks
// at any posted message (GetMessage and PeekMessage in the Windows API
// reference: both dispatch incoming sent messages first).
std::deque<MSG> sent;
// ChangeDisplaySettingsA waits for other programs to take its broadcast and
// takes only the messages sent to the thread meanwhile.
bool onlySentTaken;
// PostQuitMessage was called and its WM_QUIT not yet taken.
bool quitPending;
// PostQuitMessage's exit code.
int quitCode;
// Called by GetMessageA when the queue is empty.
std::function<bool()> idleHook;
// Message time stamps, in milliseconds.
DWORD tick;

// A message box or popup menu open now and the user's answer to it, once
// given.
struct OpenModal {
  sim::Modal kind;
  bool answered;
  long answer; // the button (IDOK, IDCANCEL) or the command, 0 for none
};
// The boxes and menus open now, the innermost last.
std::vector<OpenModal> modals;

bool Matches(const MSG &msg, HWND window, UINT first, UINT last) {
  if (window && msg.hwnd != window)
    return false;
  return (first == 0 && last == 0) ||
         (msg.message >= first && msg.message <= last);
}

// Takes the oldest posted message that matches, or with `remove` false
// copies it and leaves it queued.
bool TakeQueued(LPMSG msg, HWND window, UINT first, UINT last, bool remove) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (Matches(*it, window, first, last)) {
      *msg = *it;
      if (remove)
        queue.erase(it);
      return true;
    }
  }
  return false;
}

// A timer that has come due makes a WM_TIMER once the queue is empty, as
// in USER32; taken (removed), it does not come due again before the user's
// next action.
bool TakeDueTimer(LPMSG msg, HWND window, UINT first, UINT last, bool remove) {
  for (Timer &timer : timers) {
    MSG due = {timer.window, WM_TIMER, timer.id, 0, tick, sim::Cursor()};
    if (timer.due && Matches(due, window, first, last)) {
      timer.due = !remove;
      *msg = due;
      return true;
    }
  }
  return false;
}

void FillQuit(LPMSG msg, int code) {
  *msg =
      MSG{nullptr, WM_QUIT, static_cast<WPARAM>(code), 0, tick, sim::Cursor()};
}

// What one look at the thread's messages found.
enum class Step {
  Message, // a message to dispatch
  Quit,    // WM_QUIT: posted, from PostQuitMessage, or the session's end
  Acted,   // the queue was empty and the user did something: look again
  Nothing, // nothing waiting, and the caller does not wait
};

// Calls the window procedure with every message sent to the thread and not
// yet taken, in the order they were sent.
void TakeSent() {
  while (!sent.empty()) {
    MSG msg = sent.front();
    sent.pop_front();
    sim::SendInternal(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  }
}

// One look at the thread's messages, for GetMessageA, PeekMessageA and the
// loops of boxes and menus alike.  Sent messages are taken first.  A
// WM_QUIT from PostQuitMessage is not a posted message: it comes only once
// no posted message is waiting, and to GetMessageA whatever its filter
// (GetMessage in the Windows API reference).  With `remove` false what is
// found stays.  Only a caller that waits (`wait`) lets the user act when
// nothing is waiting (the idle hook); when the user has nothing left to
// do, the session ends from outside (log-off) and takes the program along
// with a quit of 0.
Step NextStep(LPMSG msg, HWND window, UINT first, UINT last, bool remove,
              bool wait, bool *sessionEnded) {
  TakeSent();
  if (TakeQueued(msg, window, first, last, remove))
    return msg->message == WM_QUIT ? Step::Quit : Step::Message;
  MSG quit;
  FillQuit(&quit, quitCode);
  if (quitPending && (wait || Matches(quit, window, first, last))) {
    quitPending = !remove;
    *msg = quit;
    return Step::Quit;
  }
  if (TakeDueTimer(msg, window, first, last, remove))
    return Step::Message;
  if (!wait)
    return Step::Nothing;
  if (!idleHook || !idleHook()) {
    *sessionEnded = true;
    FillQuit(msg, 0);
    return Step::Quit;
  }
  for (Timer &timer : timers)
    timer.due = true;
  return Step::Acted;
}

} // namespace

namespace sim {

void ResetQueue() {
  timers.clear();
  queue.clear();
  sent.clear();
  onlySentTaken = false;
  quitPending = false;
  quitCode = 0;
  idleHook = nullptr;
  tick = 0;
  modals.clear();
}

void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  queue.push_back(MSG{window, message, wParam, lParam, ++tick, Cursor()});
}

bool SendFromOtherThread(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam) {
  if (!IsOwnWindow(window))
    return false;
  sent.push_back(MSG{window, message, wParam, lParam, ++tick, Cursor()});
  return true;
}

void ForgetWindowMessages(HWND window) {
  timers.erase(
      std::remove_if(timers.begin(), timers.end(),
                     [&](const Timer &t) { return t.window == window; }),
      timers.end());
  auto posted = [&](const MSG &m) { return m.hwnd == window; };
  queue.erase(std::remove_if(queue.begin(), queue.end(), posted), queue.end());
  sent.erase(std::remove_if(sent.begin(), sent.end(), posted), sent.end());
}

void WaitTakingSent() {
  // While the other programs' windows take a broadcast, the user may click;
  // a shell that sends its callbacks then reaches the program at once (one
  // that posts them is read after the call returns).
  onlySentTaken = true;
  if (idleHook && ShellSendsCallbacks())
    idleHook();
  onlySentTaken = false;
  if (!sent.empty())
    Emit("taken while waiting: the messages sent meanwhile");
  TakeSent();
}

// USER32's loops for boxes and menus take every message of the thread,
// whichever window it is for, and dispatch it: the program's window
// procedure runs while its box or menu is open (Wine's DIALOG_DoDialogBox
// in dlls/user32/dialog.c; the menu loop in dlls/win32u/menu.c).  On
// WM_QUIT the loop ends and posts the quit again for the loop below it
// (what the box or menu then answers is theirs to say).
bool RunModalLoop(Modal kind, const std::function<bool()> &stillOpen,
                  long *answer) {
  modals.push_back({kind, false, 0});
  size_t depth = modals.size();
  bool answered = false;
  for (;;) {
    if (modals[depth - 1].answered) {
      answered = true;
      *answer = modals[depth - 1].answer;
      break;
    }
    if (!stillOpen())
      break;
    MSG msg;
    bool sessionEnded = false;
    Step step = NextStep(&msg, nullptr, 0, 0, true, true, &sessionEnded);
    if (sessionEnded)
      sim::Emit(kind == Modal::Box ? "session ends with a box open"
                                   : "session ends with a menu open");
    if (step == Step::Quit) {
      quitPending = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (step == Step::Message && msg.hwnd)
      sim::SendInternal(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  }
  modals.resize(depth - 1);
  return answered;
}

// The answer goes to the innermost box or menu, and only when it is of the
// kind the user answers: a choice cannot close a box.
bool EndModal(Modal kind, long answer) {
  if (modals.empty() || modals.back().kind != kind || modals.back().answered)
    return false;
  modals.back().answered = true;
  modals.back().answer = answer;
  return true;
}

bool ModalOpen(Modal kind) {
  for (const OpenModal &modal : modals)
    if (modal.kind == kind)
      return true;
  return false;
}

} // namespace sim

void SimSetIdleHook(std::function<bool()> hook) { idleHook = std::move(hook); }

bool SimOnlySentMessagesTaken() { return onlySentTaken; }

int SimTimerCount() { return static_cast<int>(timers.size()); }

bool SimAnswerBox(int answer) { return sim::EndModal(sim::Modal::Box, answer); }

bool SimChooseFromMenu(UINT command) {
  return sim::EndModal(sim::Modal::Menu, static_cast<long>(command));
}

int SimOpenModalCount() { return static_cast<int>(modals.size()); }

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last) {
  SIM_ENTER(-1);
  if (!msg || (window && !sim::IsOwnWindow(window)))
    return -1;
  for (;;) {
    bool sessionEnded = false;
    Step step = NextStep(msg, window, first, last, true, true, &sessionEnded);
    if (step == Step::Acted)
      continue;
    // A program whose windows are all gone can no longer be reached by
    // anything: it would have had to post its own quit, and without one it
    // waits on, unseen, until Windows shuts down.
    if (sessionEnded && idleHook && !sim::OwnWindowExists())
      sim::Emit("hang: the message loop waits on with no window left");
    return step == Step::Message ? TRUE : FALSE;
  }
}

// Looks without waiting: the user does nothing while the program peeks.
// Of the flags only PM_REMOVE changes anything here; only a removed
// WM_TIMER or WM_QUIT counts as taken.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last,
                         UINT remove) {
  SIM_ENTER(FALSE);
  if (!msg || (window && !sim::IsOwnWindow(window)))
    return FALSE;
  bool sessionEnded = false;
  return NextStep(msg, window, first, last, (remove & PM_REMOVE) != 0, false,
                  &sessionEnded) != Step::Nothing;
}

// No key ever reaches the program's window here, so no character message
// is ever made; a key message still answers nonzero, translated or not
// (TranslateMessage in the Windows API reference).
BOOL WINAPI TranslateMessage(const MSG *msg) {
  SIM_ENTER(FALSE);
  if (!msg)
    return FALSE;
  switch (msg->message) {
  case WM_KEYDOWN:
  case WM_KEYUP:
  case WM_SYSKEYDOWN:
  case WM_SYSKEYUP:
    return TRUE;
  }
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
  SIM_ENTER(0);
  if (!msg || !msg->hwnd)
    return 0;
  return sim::SendInternal(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  SIM_ENTER();
  quitPending = true;
  quitCode = exitCode;
}

// Setting a running timer again starts its time afresh.  Timer procedures
// are not simulated: the program takes WM_TIMER in its window procedure.
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT /*elapse*/,
                         TIMERPROC proc) {
  SIM_ENTER(0);
  if (!sim::IsOwnWindow(window) || proc)
    return 0;
  for (Timer &timer : timers)
    if (timer.window == window && timer.id == id) {
      timer.due = true;
      return 1;
    }
  timers.push_back({window, id, true});
  return 1;
}

// A WM_TIMER already taken from the queue is not taken back.
BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
  SIM_ENTER(FALSE);
  for (auto it = timers.begin(); it != timers.end(); ++it)
    if (it->window == window && it->id == id) {
      timers.erase(it);
      return TRUE;
    }
  return FALSE;
}

// Windows' default; a failure answers 0, which SetTimer takes as its
// shortest time.
UINT WINAPI GetDoubleClickTime(void) {
  SIM_ENTER(0);
  return 500;
}
