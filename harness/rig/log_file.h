// The log files the Windows rigs append to, named in the environment by
// the end-to-end harness, which reads them while the program runs.
#pragma once

#include <windows.h>

#include <string>

// The path in environment variable `name`, "" when unset.  A Unix path
// (/tmp/x) is found on drive Z:, which maps the Unix root under Wine.
inline std::string EnvironmentPath(const char *name) {
  char buffer[4096];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer)
    return std::string();
  return (buffer[0] == '/' ? "Z:" : "") + std::string(buffer, n);
}

// Appends `line` and a newline to the file at `path` (nothing for "").
// Opened and closed per line: the harness reads the file while the program
// runs, and a program ended from outside loses nothing.
inline void AppendLine(const std::string &path, const std::string &line) {
  HANDLE file = path.empty()
                    ? INVALID_HANDLE_VALUE
                    : CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return;
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
  CloseHandle(file);
}
