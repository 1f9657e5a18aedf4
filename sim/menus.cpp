// Menus: popup menus with their items' state bits, the Enable/Check calls
// that answer the previous state, and TrackPopupMenu, which stays open
// until the scenario chooses an entry or closes it.
#include <algorithm>
#include <map>

#include "sim/internal.h"

namespace {

// TrackPopupMenu's TPM_RETURNCMD: answer the choice instead of posting it.
const UINT kReturnCommand = 0x0100;
// The state bits an item keeps.
const UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR;

struct Item {
  UINT id;          // command identifier
  UINT state;       // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_SEPARATOR
  std::string text; // ANSI caption
};

// Menus existing now, by handle.
sim::Handles<HMENU, std::vector<Item>> menus;
// The menus TrackPopupMenu is tracking now, innermost last.
std::vector<HMENU> tracked;

// The item `item` names by command or by position, or NULL.
Item *FindItem(HMENU menu, UINT item, UINT flags) {
  auto found = menus.find(menu);
  if (found == menus.end())
    return nullptr;
  std::vector<Item> &items = found->second;
  if (flags & MF_BYPOSITION)
    return item < items.size() ? &items[item] : nullptr;
  for (Item &entry : items)
    if (entry.id == item)
      return &entry;
  return nullptr;
}

bool Enabled(const Item &item) {
  return !(item.state & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
}

} // namespace

namespace sim {

void ResetMenus() {
  menus.Reset(0x40000);
  tracked.clear();
}

void DestroyMenuInternal(HMENU menu) { menus.erase(menu); }

bool MenuExists(HMENU menu) { return menus.count(menu) != 0; }

int MenuOpenCount() { return menus.Count(); }

} // namespace sim

void sim::EmitMenuListing(HMENU menu) {
  std::vector<MenuListingItem> items;
  for (const SimMenuItem &item : SimMenuItems(menu))
    items.push_back({item.text, (item.state & MF_SEPARATOR) != 0,
                     (item.state & (MF_GRAYED | MF_DISABLED)) != 0,
                     (item.state & MF_CHECKED) != 0});
  for (const std::string &line : MenuListingLines(items))
    sim::Emit(line);
}

std::vector<SimMenuItem> SimMenuItems(HMENU menu) {
  std::vector<SimMenuItem> out;
  auto found = menus.find(menu);
  if (found != menus.end())
    for (const Item &item : found->second)
      out.push_back({item.id, item.state, SimAnsiToUtf8(item.text)});
  return out;
}

HMENU WINAPI CreatePopupMenu(void) {
  SIM_ENTER(nullptr);
  return menus.Add({});
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  SIM_ENTER(FALSE);
  auto found = menus.find(menu);
  if (found == menus.end())
    return FALSE;
  std::string caption = (flags & MF_SEPARATOR) ? "" : sim::Str(text);
  UINT state = flags & kStateBits;
  // A separator is kept disabled and greyed whatever the flags say.
  if (flags & MF_SEPARATOR)
    state |= MF_GRAYED | MF_DISABLED;
  found->second.push_back({static_cast<UINT>(id), state, caption});
  return TRUE;
}

// Windows NT keeps a menu it tracks locked against destruction; nothing
// shows what Windows 95 and 98 do with one destroyed under their menu loop,
// so the transcript says it happened and the end-of-run rules count it as
// a fault.
BOOL WINAPI DestroyMenu(HMENU menu) {
  SIM_ENTER(FALSE);
  if (std::find(tracked.begin(), tracked.end(), menu) != tracked.end())
    sim::Emit("tracked menu destroyed");
  return menus.erase(menu) ? TRUE : FALSE;
}

// Answers the item's previous MF_GRAYED/MF_DISABLED bits, or -1 when there
// is no such item.
BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  SIM_ENTER(-1);
  Item *entry = FindItem(menu, item, flags);
  if (!entry)
    return -1;
  UINT previous = entry->state & (MF_GRAYED | MF_DISABLED);
  entry->state = (entry->state & ~(MF_GRAYED | MF_DISABLED)) |
                 (flags & (MF_GRAYED | MF_DISABLED));
  return static_cast<BOOL>(previous);
}

// Answers the item's previous MF_CHECKED bit, or 0xFFFFFFFF.
DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  SIM_ENTER(0xFFFFFFFF);
  Item *entry = FindItem(menu, item, flags);
  if (!entry)
    return 0xFFFFFFFF;
  DWORD previous = entry->state & MF_CHECKED;
  entry->state = (entry->state & ~MF_CHECKED) | (flags & MF_CHECKED);
  return previous;
}

UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
  SIM_ENTER(0xFFFFFFFF);
  Item *entry = FindItem(menu, item, flags);
  return entry ? entry->state : 0xFFFFFFFF;
}

// The owner gets WM_INITMENUPOPUP before the menu shows, as from the real
// menu loop.  The menu then runs its own loop until the user chooses or
// closes it; a chosen enabled command reaches the owner as a posted
// WM_COMMAND once the call has returned.  A second popup menu cannot be
// tracked while one is: the call fails (ERROR_POPUP_ALREADY_ACTIVE).
//
// Two habits of the Windows 95/98/NT 4.0 menu loop with a window that is
// not already active (a tray icon's): a menu whose owner is not the
// foreground window does not close when the user clicks elsewhere; and
// once a menu has been tracked, the switch to its owner finishes only when
// the owner gets a posted message: until then the next menu closes as soon
// as it opens, and the user's click on it is lost.
BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y,
                           int /*reserved*/, HWND owner,
                           const RECT * /*rect*/) {
  SIM_ENTER(FALSE);
  if (!sim::MenuExists(menu) || !sim::WindowExists(owner))
    return FALSE;
  if (sim::ModalOpen(sim::Modal::Menu)) {
    sim::Emit(sim::Format("track %u %d %d: refused, a popup menu is open",
                          flags, x, y));
    return FALSE;
  }
  sim::SendInternal(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  if (sim::MenuSwitchPending(owner)) {
    sim::Emit(sim::Format("track %u %d %d: closes at once, the last menu's "
                          "switch to its owner never finished",
                          flags, x, y));
    return FALSE;
  }
  sim::Emit(sim::Format("track %u %d %d", flags, x, y));
  sim::EmitMenuListing(menu);
  sim::MenuTracked(owner);
  long choice = 0;
  tracked.push_back(menu);
  bool answered = sim::RunModalLoop(
      sim::Modal::Menu,
      [menu, owner] {
        return sim::MenuExists(menu) && sim::WindowExists(owner);
      },
      &choice);
  tracked.pop_back();
  UINT command = static_cast<UINT>(choice);
  Item *entry = answered ? FindItem(menu, command, MF_BYCOMMAND) : nullptr;
  bool taken = entry && Enabled(*entry);
  if (answered && !taken && sim::ForegroundWindow() != owner)
    sim::Emit("menu stays open: its owner is not the foreground window");
  MenuListingEntry chosen =
      taken ? MenuEntryOf({SimAnsiToUtf8(entry->text), false, false, false})
            : MenuListingEntry{"none", "", false, false};
  sim::Emit("tracked -> " + chosen.resolution +
            (chosen.rate.empty() ? "" : " " + chosen.rate));
  if (flags & kReturnCommand)
    return taken ? static_cast<BOOL>(command) : FALSE;
  if (taken)
    sim::PostInternal(owner, WM_COMMAND, command, 0);
  return TRUE;
}

// Closes the menu being tracked, with nothing chosen.
BOOL WINAPI EndMenu(void) {
  SIM_ENTER(FALSE);
  return sim::EndModal(sim::Modal::Menu, 0) ? TRUE : FALSE;
}
