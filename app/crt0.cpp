// Process entry of the release exe, which links no C runtime: the few
// things a runtime would do before WinMain, and the memory helpers the
// compiler may call on its own for structure copies and clears.
//
// Built with -ffreestanding -fno-builtin so the helpers below are not
// recognised as the very functions they implement.
#include <windows.h>

#define CRTRATE_NO_PATTERNS                                                    \
  __attribute__((optimize("no-tree-loop-distribute-patterns")))

extern "C" {

CRTRATE_NO_PATTERNS void *memset(void *dest, int value, size_t count) {
  unsigned char *d = static_cast<unsigned char *>(dest);
  while (count--)
    *d++ = static_cast<unsigned char>(value);
  return dest;
}

CRTRATE_NO_PATTERNS void *memcpy(void *dest, const void *src, size_t count) {
  unsigned char *d = static_cast<unsigned char *>(dest);
  const unsigned char *s = static_cast<const unsigned char *>(src);
  while (count--)
    *d++ = *s++;
  return dest;
}

CRTRATE_NO_PATTERNS void *memmove(void *dest, const void *src, size_t count) {
  unsigned char *d = static_cast<unsigned char *>(dest);
  const unsigned char *s = static_cast<const unsigned char *>(src);
  if (d < s) {
    while (count--)
      *d++ = *s++;
  } else {
    while (count--)
      d[count] = s[count];
  }
  return dest;
}

CRTRATE_NO_PATTERNS int memcmp(const void *left, const void *right,
                               size_t count) {
  const unsigned char *a = static_cast<const unsigned char *>(left);
  const unsigned char *b = static_cast<const unsigned char *>(right);
  for (; count; --count, ++a, ++b) {
    if (*a != *b)
      return *a < *b ? -1 : 1;
  }
  return 0;
}

// Static constructors, should the program ever have any.  The MinGW linker
// script brackets the .ctors section with these: a -1 marker, the
// functions, then a 0.
typedef void (*CtorFunction)(void);
extern CtorFunction __CTOR_LIST__[];

// Returns the command line after the program name (quoted or not) and the
// blanks that follow it, as WinMain's lpCmdLine.
static char *SkipProgramName(char *p) {
  if (*p == '"') {
    ++p;
    while (*p && *p != '"')
      ++p;
    if (*p == '"')
      ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t')
      ++p;
  }
  while (*p == ' ' || *p == '\t')
    ++p;
  return p;
}

void WinMainCRTStartup(void) {
  CtorFunction *ctor = __CTOR_LIST__ + 1;
  while (*ctor)
    ++ctor;
  while (ctor != __CTOR_LIST__ + 1)
    (*--ctor)();

  HINSTANCE instance = GetModuleHandleA(NULL);
  char *commandLine = SkipProgramName(GetCommandLineA());
  ExitProcess(
      static_cast<UINT>(WinMain(instance, NULL, commandLine, SW_SHOWDEFAULT)));
}

} // extern "C"
