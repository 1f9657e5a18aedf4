// The simulated notebook's Win32 semantics that the product depends on:
// registry sizes and access, menu state answers, the display driver's reply
// discipline, fault injection, the message queue, wsprintfA and LoadStringA.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "sim/sim.h"

namespace {

void Given(const std::string &statements) {
  std::string error;
  ASSERT_TRUE(SimApplyScenario(statements, &error)) << error;
}

// ---------------------------------------------------------------- registry

HKEY OpenCc(const char *path, REGSAM access, LONG *status) {
  HKEY key = nullptr;
  *status = RegOpenKeyExA(HKEY_CURRENT_CONFIG, path, 0, access, &key);
  return key;
}

TEST(SimRegistry, OpenFollowsNamesAndAccessWithoutCreating) {
  struct Case {
    const char *path;
    REGSAM access;
    LONG status;
  };
  const Case cases[] = {
      {"Display\\Settings", KEY_READ, ERROR_SUCCESS},
      {"DISPLAY\\settings", KEY_READ, ERROR_SUCCESS},
      {"Display\\Missing", KEY_READ, ERROR_FILE_NOT_FOUND},
      {"Display\\\\Settings", KEY_READ, ERROR_FILE_NOT_FOUND},
      {"Display\\Locked", KEY_QUERY_VALUE, ERROR_SUCCESS},
      {"Display\\Locked", KEY_SET_VALUE, ERROR_ACCESS_DENIED},
      {"Display\\Locked", KEY_CREATE_SUB_KEY, ERROR_ACCESS_DENIED},
      {"Display\\Locked", KEY_WRITE, ERROR_ACCESS_DENIED},
      {"Empty\\\\Name", KEY_READ, ERROR_SUCCESS},
  };
  for (const Case &c : cases) {
    SimReset();
    Given("key HKCC \"Display\\\\Settings\"\n"
          "locked HKCC \"Display\\\\Locked\"\n"
          "key HKCC \"Empty\\\\\\\\Name\"");
    LONG status;
    HKEY key = OpenCc(c.path, c.access, &status);
    EXPECT_EQ(status, c.status) << c.path;
    if (status == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
    EXPECT_FALSE(SimRegistryKeyExists("HKCC", "Display\\Missing"));
    EXPECT_EQ(SimOpen().key, 0) << c.path;
  }
}

TEST(SimRegistry, QueryCopiesExactlyTheStoredBytes) {
  struct Case {
    const char *value; // the scenario's value statement tail
    DWORD bufferSize;  // *size passed in
    LONG status;       // answer
    DWORD size;        // *size after
    std::string data;  // buffer after (from a buffer of '#')
  };
  const Case cases[] = {
      {"sz \"ON\"", 16, ERROR_SUCCESS, 3, std::string("ON\0#", 4)},
      {"sz-bare \"ON\"", 16, ERROR_SUCCESS, 2, "ON##"},
      {"sz \"OFF\"", 3, ERROR_MORE_DATA, 4, "####"},
      {"binary", 16, ERROR_SUCCESS, 0, "####"},
      {"binary 08 00", 2, ERROR_SUCCESS, 2, std::string("\x08\0##", 4)},
      {"dword 0x01020304", 4, ERROR_SUCCESS, 4, "\x04\x03\x02\x01"},
  };
  for (const Case &c : cases) {
    SimReset();
    Given(std::string("value HKCC \"S\" \"ShowAllModes\" ") + c.value);
    LONG status;
    HKEY key = OpenCc("s", KEY_QUERY_VALUE, &status);
    ASSERT_EQ(status, ERROR_SUCCESS);
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    DWORD size = c.bufferSize, type = 99;
    EXPECT_EQ(RegQueryValueExA(key, "SHOWALLMODES", nullptr, &type,
                               reinterpret_cast<BYTE *>(buffer), &size),
              c.status)
        << c.value;
    EXPECT_EQ(size, c.size) << c.value;
    EXPECT_EQ(std::string(buffer, 4), c.data) << c.value;
    DWORD probe = 0;
    EXPECT_EQ(RegQueryValueExA(key, "ShowAllModes", nullptr, nullptr, nullptr,
                               &probe),
              ERROR_SUCCESS);
    EXPECT_EQ(probe, c.size) << c.value;
    EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, &probe),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
  }
}

TEST(SimRegistry, HandlesKeepTheirAccessAndSetStoresExactBytes) {
  SimReset();
  Given("key HKCC \"Display\\\\Settings\"");
  LONG status;
  HKEY reader = OpenCc("Display\\Settings", KEY_QUERY_VALUE, &status);
  HKEY writer = OpenCc("display\\SETTINGS", KEY_SET_VALUE, &status);
  const BYTE on[] = {'O', 'N'};
  EXPECT_EQ(RegSetValueExA(reader, "X", 0, REG_SZ, on, 2), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExA(writer, "X", 0, REG_SZ, on, 2), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(writer, "X", nullptr, nullptr, nullptr, &size),
            ERROR_ACCESS_DENIED);
  DWORD type;
  std::string data;
  ASSERT_TRUE(SimRegistryGet("HKCC", "Display\\Settings", "x", &type, &data));
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(data, "ON");
  EXPECT_EQ(SimTakeTranscript(),
            "regset HKCC \"Display\\\\Settings\" \"X\" sz \"ON\" -> 5\n"
            "regset HKCC \"display\\\\SETTINGS\" \"X\" sz \"ON\" -> 0\n");
  RegCloseKey(reader);
  RegCloseKey(writer);
  EXPECT_EQ(RegCloseKey(writer), ERROR_INVALID_HANDLE);
}

// ------------------------------------------------------------------ menus

TEST(SimMenus, EnableAndCheckAnswerThePreviousState) {
  SimReset();
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 9001, "a");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | MF_GRAYED, 9002, "b");
  struct Step {
    bool check; // CheckMenuItem, else EnableMenuItem
    UINT item;
    UINT flags;
    DWORD answer;
  };
  const Step steps[] = {
      {false, 9001, MF_GRAYED, MF_ENABLED},
      {false, 9001, MF_ENABLED, MF_GRAYED},
      {false, 9002, MF_ENABLED, MF_GRAYED},
      {false, 2, MF_BYPOSITION | MF_DISABLED, MF_ENABLED},
      {false, 9003, MF_GRAYED, 0xFFFFFFFF},
      {false, 3, MF_BYPOSITION, 0xFFFFFFFF},
      {true, 9001, MF_CHECKED, MF_UNCHECKED},
      {true, 9001, MF_CHECKED, MF_CHECKED},
      {true, 0, MF_BYPOSITION | MF_UNCHECKED, MF_CHECKED},
      {true, 9003, MF_CHECKED, 0xFFFFFFFF},
  };
  for (const Step &s : steps) {
    DWORD answer =
        s.check ? CheckMenuItem(menu, s.item, s.flags)
                : static_cast<DWORD>(EnableMenuItem(menu, s.item, s.flags));
    EXPECT_EQ(answer, s.answer) << s.item << (s.check ? " check" : " enable");
  }
  EXPECT_EQ(SimMenuLines(menu), "menu 9001 enabled\nmenu 9002 grayed\n");
  EXPECT_EQ(GetMenuState(menu, 1, MF_BYPOSITION), UINT(MF_SEPARATOR));
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(DestroyMenu(menu));
  EXPECT_EQ(SimOpen().menu, 0);
}

// ---------------------------------------------------------- display driver

struct Escape {
  std::vector<DWORD> in;
  int replySize;
};

int Send(const Escape &e, std::vector<BYTE> *reply) {
  HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  reply->assign(e.replySize + 4, 0xEE);
  int result = ExtEscape(dc, 0x3000, static_cast<int>(4 * e.in.size()),
                         reinterpret_cast<LPCSTR>(e.in.data()), e.replySize,
                         reinterpret_cast<LPSTR>(reply->data()));
  DeleteDC(dc);
  return result;
}

TEST(SimDriver, RepliesOnlyAtExactSizesWhateverTheResult) {
  struct Case {
    const char *given;
    Escape escape;
    int result;
    std::vector<BYTE> reply; // the reply buffer, 4 guard bytes included
  };
  const std::vector<BYTE> untouched8(8, 0xEE);
  const Case cases[] = {
      {"attached 3", {{7}, 4}, 1, {3, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"attached 3", {{7}, 8}, 0, std::vector<BYTE>(12, 0xEE)},
      {"attached 3", {{7, 0}, 4}, 0, untouched8},
      {"attached 3\nresult 7 0",
       {{7}, 4},
       0,
       {3, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"attached 3\nresult 7 2",
       {{7}, 4},
       2,
       {3, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"attached 3\ndriver missing", {{7}, 4}, 0, untouched8},
      {"panel 1024", {{0}, 6}, 1, {0, 4, 0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"reply 0 0x11223344 0x55667788",
       {{0}, 6},
       1,
       {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"", {{99}, 4}, 0, untouched8},
  };
  for (const Case &c : cases) {
    SimReset();
    Given(c.given);
    std::vector<BYTE> reply;
    EXPECT_EQ(Send(c.escape, &reply), c.result) << c.given;
    EXPECT_EQ(reply, c.reply) << c.given;
    EXPECT_EQ(SimOpen().dc, 0);
  }
}

TEST(SimDriver, RequestsChangeStateOnlyWhenAnsweredOne) {
  SimReset();
  std::vector<BYTE> reply;
  Given("result 10 0");
  EXPECT_EQ(Send({{10, 6}, 0}, &reply), 0);
  EXPECT_EQ(SimDriver().mode, 0u);
  Given("result 10 1");
  EXPECT_EQ(Send({{10, 6}, 0}, &reply), 1);
  EXPECT_EQ(SimDriver().mode, 6u);
  EXPECT_EQ(Send({{2, 1, 0}, 0}, &reply), 1);
  EXPECT_EQ(SimDriver().active, 1u);
  EXPECT_EQ(Send({{66, 800, 600, 6, 16, 75}, 0}, &reply), 1);
  EXPECT_EQ(SimDriver().refresh, 75u);
  EXPECT_EQ(SimTakeTranscript(), "escape 10 6 -> 0\n"
                                 "escape 10 6 -> 1\n"
                                 "escape 2 1 0 -> 1\n"
                                 "escape 66 800 600 6 16 75 -> 1\n");
}

// ---------------------------------------------------------------- faults

TEST(SimFaults, NthCallOrEveryCall) {
  struct Case {
    const char *given;
    std::vector<bool> opened; // CreateDCA succeeded, call by call
  };
  const Case cases[] = {
      {"", {true, true, true}},
      {"fail CreateDCA 2", {true, false, true}},
      {"fail CreateDCA 1\nfail CreateDCA 3", {false, true, false}},
      {"fail CreateDCA", {false, false, false}},
  };
  for (const Case &c : cases) {
    SimReset();
    Given(c.given);
    for (size_t i = 0; i < c.opened.size(); ++i) {
      HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
      EXPECT_EQ(dc != nullptr, c.opened[i]) << c.given << " call " << i + 1;
      DeleteDC(dc);
    }
    EXPECT_EQ(SimCallCount("CreateDCA"), 3);
  }
  SimReset();
  std::string error;
  EXPECT_FALSE(SimApplyStatement("fail NoSuchFunction", &error));
  Given("fail RegOpenKeyExA\nkey HKLM \"K\"");
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, reinterpret_cast<HKEY>(1)); // nothing written
}

// ------------------------------------------------------------ window queue

std::vector<UINT> seen; // messages the test window procedure received
LRESULT createAnswer;   // what it answers WM_CREATE

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
  seen.push_back(message);
  if (message == WM_CREATE)
    return createAnswer;
  if (message == WM_DESTROY)
    PostQuitMessage(7);
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(LRESULT answer) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Recorder;
  wc.lpszClassName = "SimTestClass";
  RegisterClassA(&wc);
  seen.clear();
  createAnswer = answer;
  return CreateWindowExA(0, "simtestclass", "t", 0, 0, 0, 0, 0, nullptr,
                         nullptr, SimInstance(), nullptr);
}

TEST(SimUser, CreateSendsWmCreateInsideTheCall) {
  SimReset();
  HWND window = MakeWindow(0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(seen, std::vector<UINT>{WM_CREATE});
  SimReset();
  EXPECT_EQ(MakeWindow(-1), nullptr);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Recorder;
  wc.lpszClassName = "SIMTESTCLASS";
  EXPECT_EQ(RegisterClassA(&wc), 0); // the class is already there
}

TEST(SimUser, QueueDispatchesInOrderAndQuitsLast) {
  SimReset();
  HWND window = MakeWindow(0);
  int idleCalls = 0;
  SimSetIdleHook([&] {
    if (++idleCalls == 1)
      SimPostMessage(window, WM_USER + 1, 0, 0);
    return idleCalls < 3;
  });
  PostMessageA(window, WM_USER, 0, 0);
  PostMessageA(window, WM_CLOSE, 0, 0); // destroys: WM_DESTROY, quit 7
  PostMessageA(window, WM_USER + 2, 0, 0);
  std::vector<UINT> got;
  MSG msg;
  BOOL status;
  while ((status = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    got.push_back(msg.message);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u); // after the message posted behind it
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER, WM_CLOSE, WM_USER + 2}));
  // WM_USER + 2 reached a destroyed window and was dropped.
  EXPECT_EQ(seen,
            (std::vector<UINT>{WM_CREATE, WM_USER, WM_CLOSE, WM_DESTROY}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  // An empty queue asks the hook; when it has nothing, a quit with 0.
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_EQ(idleCalls, 3);
  EXPECT_EQ(RegisterWindowMessageA("TaskbarCreated"),
            RegisterWindowMessageA("taskbarcreated"));
  EXPECT_GE(RegisterWindowMessageA("TaskbarCreated"), 0xC000u);
}

// ----------------------------------------------------------------- strings

TEST(SimStrings, WsprintfFollowsUser32) {
  struct Case {
    std::string expected;
    int (*print)(char *);
  };
  const Case cases[] = {
      {"75", [](char *b) { return wsprintfA(b, "%d", 75); }},
      {"-5|4294967291", [](char *b) { return wsprintfA(b, "%d|%u", -5, -5); }},
      {"ff|FF|0xff",
       [](char *b) { return wsprintfA(b, "%x|%X|%#x", 255, 255, 255); }},
      {"1024,768", [](char *b) { return wsprintfA(b, "%lu,%ld", 1024u, 768); }},
      {"[  7][7  ][007]",
       [](char *b) { return wsprintfA(b, "[%3d][%-3d][%03d]", 7, 7, 7); }},
      {"A%ON", [](char *b) { return wsprintfA(b, "%c%%%s", 'A', "ON"); }},
      {"(null)|ab",
       [](char *b) { return wsprintfA(b, "%s|%.2s", (char *)nullptr, "abc"); }},
  };
  for (const Case &c : cases) {
    SimReset();
    char buffer[1100];
    EXPECT_EQ(c.print(buffer), static_cast<int>(c.expected.size()));
    EXPECT_EQ(std::string(buffer), c.expected);
  }
  std::string longText(2000, 'x');
  char buffer[1100];
  EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1023);
  EXPECT_EQ(strlen(buffer), 1023u);
}

TEST(SimStrings, LoadStringServesCodePage950AndTruncates) {
  struct Case {
    UINT id;
    int size;
    int length;
  };
  const Case cases[] = {
      {IDS_APP_TITLE, 64, 16}, // "CRT/懸掛式投影機": 4 + 6 * 2 bytes
      {IDS_APP_TITLE, 16, 15}, {IDS_APP_TITLE, 5, 4},
      {IDS_APP_TITLE, 1, 0},   {9999, 64, 0},
  };
  for (const Case &c : cases) {
    SimReset();
    char buffer[64];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(LoadStringA(SimInstance(), c.id, buffer, c.size), c.length)
        << c.id << " " << c.size;
    EXPECT_EQ(strlen(buffer), size_t(c.length));
  }
  SimReset();
  char buffer[64];
  LoadStringA(SimInstance(), IDS_APP_TITLE, buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, 6), "CRT/\xC4\x61"); // 懸 is C4 61
  EXPECT_EQ(SimAnsiToUtf8(buffer), "CRT/懸掛式投影機");
  Given("string 100 \"X\\\"Y\"");
  EXPECT_EQ(LoadStringA(SimInstance(), IDS_APP_TITLE, buffer, 64), 3);
  EXPECT_EQ(SimQuote(buffer), "\"X\\\"Y\"");
}

} // namespace
