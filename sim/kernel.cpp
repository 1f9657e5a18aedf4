// KERNEL32 as the notebook offers it: the version of Windows it runs and
// the two string helpers.  The switch device's file calls are in
// switch_device.cpp.
#include <cstring>

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

void ResetKernel() { os = kReleases[4].second; }

bool SetOs(const Words &w, std::string *error) {
  if (w.size() == 2 && !w[1].quoted) {
    for (const auto &release : kReleases)
      if (w[1].text == release.first) {
        os = release.second;
        return true;
      }
    return ScenarioError(error, "unknown release");
  }
  long long platform, major, minor, build = 0;
  if ((w.size() == 5 || w.size() == 6) &&
      ParseScenarioNumber(w[1], &platform) &&
      ParseScenarioNumber(w[2], &major) && ParseScenarioNumber(w[3], &minor) &&
      w[4].quoted && w[4].text.size() < 128 &&
      (w.size() == 5 || ParseScenarioNumber(w[5], &build))) {
    os = {DWORD(platform), DWORD(major), DWORD(minor), DWORD(build), w[4].text};
    return true;
  }
  return ScenarioError(error,
                       "expected: os <release> | os <platform> <major> <minor> "
                       "\"<csd>\" [<build>]");
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
