// KERNEL32 as the notebook offers it: the version of Windows it runs, the
// named mutexes of this process and of others, the thread's last error and
// the two string helpers.  The switch device's file calls are in
// switch_device.cpp.
#include <cstring>
#include <map>

#include "sim/internal.h"

namespace {

// One Windows release as GetVersionExA reports it.
struct OsVersion {
  DWORD platform;  // VER_PLATFORM_WIN32_WINDOWS or VER_PLATFORM_WIN32_NT
  DWORD major;     // dwMajorVersion
  DWORD minor;     // dwMinorVersion
  DWORD build;     // build number proper (the low word on Windows 9x)
  std::string csd; // szCSDVersion
};

// The releases the "os <name>" statement knows.
const std::pair<const char *, OsVersion> kReleases[] = {
    {"win95", {1, 4, 0, 950, ""}},
    {"win95a", {1, 4, 0, 1111, " A"}},
    {"win95b", {1, 4, 0, 1212, " B"}},
    {"win95c", {1, 4, 0, 1214, " C"}},
    {"win98", {1, 4, 10, 1998, " A "}},
    {"nt4", {2, 4, 0, 1381, "Service Pack 6"}},
    {"winme", {1, 4, 90, 3000, " "}},
    {"win2k", {2, 5, 0, 2195, "Service Pack 4"}},
};

// The running release.
OsVersion os;

// Named mutexes existing now, each with the handles this process holds to
// it; one that another process holds ("mutex" statement) counts one more.
std::map<std::string, int> mutexes;
// This process's mutex handles, with the name each opened.
sim::Handles<HANDLE, std::string> mutexHandles;
// What GetLastError answers.  Only CreateMutexA sets it here: the program
// reads it after that call alone.
DWORD lastError;

// Windows 9x puts the major and minor version in the build number's high
// word; NT reports the build alone.
DWORD ReportedBuild(const OsVersion &v) {
  if (v.platform != VER_PLATFORM_WIN32_WINDOWS)
    return v.build;
  return (v.major << 24) | (v.minor << 16) | (v.build & 0xFFFF);
}

} // namespace

namespace sim {

DWORD OsPlatform() { return os.platform; }

bool OsShellIsIe4(void) {
  return os.major > 4 ||
         (os.platform == VER_PLATFORM_WIN32_WINDOWS && os.minor >= 10);
}

void ResetKernel() {
  os = kReleases[4].second;
  mutexes.clear();
  mutexHandles.Reset(0x70000);
  lastError = 0;
}

bool CloseMutex(HANDLE handle) {
  auto found = mutexHandles.find(handle);
  if (found == mutexHandles.end())
    return false;
  if (--mutexes[found->second] == 0)
    mutexes.erase(found->second);
  mutexHandles.erase(found);
  return true;
}

bool SetKernel(const Words &w) {
  if (w[0].text == "mutex") {
    ++mutexes[SimUtf8ToAnsi(w[1].text)];
    return true;
  }
  if (w[0].text != "os")
    return false;
  if (w.size() == 2) {
    for (const auto &release : kReleases)
      if (w[1].text == release.first) {
        os = release.second;
        return true;
      }
    return false;
  }
  os = {DWORD(ScenarioNumber(w[1])), DWORD(ScenarioNumber(w[2])),
        DWORD(ScenarioNumber(w[3])),
        DWORD(w.size() == 6 ? ScenarioNumber(w[5]) : 0), w[4].text};
  return true;
}

} // namespace sim

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  SIM_ENTER(FALSE);
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
    return FALSE;
  info->dwMajorVersion = os.major;
  info->dwMinorVersion = os.minor;
  info->dwBuildNumber = ReportedBuild(os);
  info->dwPlatformId = os.platform;
  memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  memcpy(info->szCSDVersion, os.csd.data(), os.csd.size());
  return TRUE;
}

// The program's own module for NULL; no other module is loaded by name.
HINSTANCE WINAPI GetModuleHandleA(LPCSTR name) {
  SIM_ENTER(nullptr);
  return name ? nullptr : SimInstance();
}

// The command line Explorer gives a program started from a shortcut.
LPSTR WINAPI GetCommandLineA(void) {
  static char line[] = "\"C:\\CRTRATE\\CRTRATE.EXE\" ";
  SIM_ENTER(line);
  return line;
}

// A name another handle already opened gives a handle to the same mutex
// and ERROR_ALREADY_EXISTS; names compare with their letter case (CreateMutex
// in the Windows API reference).  The initial owner is not simulated: the
// program does not ask for it.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES /*security*/,
                           BOOL /*initialOwner*/, LPCSTR name) {
  SIM_ENTER(nullptr);
  std::string key = sim::Str(name);
  bool exists = name && mutexes.count(key) != 0;
  lastError = exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
  if (exists)
    sim::Emit("mutex " + sim::QuoteAnsi(key) + " exists");
  if (name)
    ++mutexes[key];
  return mutexHandles.Add(name ? key : std::string());
}

DWORD WINAPI GetLastError(void) {
  SIM_ENTER(lastError);
  return lastError;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  SIM_ENTER(FALSE);
  return sim::CloseDevice(handle) || sim::CloseMutex(handle) ? TRUE : FALSE;
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
  SIM_ENTER(0);
  if (!a || !b)
    return a == b ? 0 : (a ? 1 : -1);
  for (;; ++a, ++b) {
    int ca = tolower(static_cast<unsigned char>(*a));
    int cb = tolower(static_cast<unsigned char>(*b));
    if (ca != cb)
      return ca < cb ? -1 : 1;
    if (ca == 0)
      return 0;
  }
}

int WINAPI lstrlenA(LPCSTR s) {
  SIM_ENTER(0);
  return s ? static_cast<int>(strlen(s)) : 0;
}
