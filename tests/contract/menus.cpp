// Contract cases of menus: the program's kind of popup menu and the states
// its calls answer.  A tracked menu's loop is with the other loops, in
// windows.cpp.
#include "tests/contract/contract.h"

void MenuCases() {
  // A command, a separator, a greyed command.  EnableMenuItem and
  // CheckMenuItem answer the previous state, -1 for an item that is not
  // there; GetMenuState shows a separator's state.
  Run("menu-previous-states-separator-destroy-twice", [] {
    HMENU m = CreatePopupMenu();
    AppendMenuA(m, MF_STRING, 9001, "640x480   60Hz");
    AppendMenuA(m, MF_SEPARATOR, 0, "");
    AppendMenuA(m, MF_STRING | MF_GRAYED, 9002, "640x480   72Hz");
    const UINT at = MF_BYPOSITION;
    CHECK(EnableMenuItem(m, 9001, MF_GRAYED), 0);
    CHECK(EnableMenuItem(m, 9001, MF_ENABLED), 1);
    CHECK(EnableMenuItem(m, 9002, MF_ENABLED), 1);
    CHECK(EnableMenuItem(m, 9001, MF_DISABLED), 0);
    CHECK(EnableMenuItem(m, 9001, MF_ENABLED), 2);
    CHECK(EnableMenuItem(m, 9003, MF_GRAYED), -1);
    CHECK(EnableMenuItem(m, 3, at | MF_GRAYED), -1);
    CHECK(LONG(GetMenuState(m, 1, at)), 2051);
    CHECK(EnableMenuItem(m, 1, at | MF_GRAYED), 3);
    CHECK(LONG(GetMenuState(m, 2, at)), 0);
    CHECK(LONG(CheckMenuItem(m, 9001, MF_CHECKED)), 0);
    CHECK(LONG(CheckMenuItem(m, 9001, MF_CHECKED)), 8);
    CHECK(LONG(CheckMenuItem(m, 0, at | MF_UNCHECKED)), 8);
    CHECK(LONG(CheckMenuItem(m, 9003, MF_CHECKED)), -1);
    CHECK(LONG(GetMenuState(m, 0, at)), 0);
    CHECK(DestroyMenu(m), 1);
    CHECK(DestroyMenu(m), 0);
    CHECK(AppendMenuA(m, MF_STRING, 9003, "x"), 0);
  });
}
