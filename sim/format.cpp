// wsprintfA with USER32's rules: no floating point, no '*' widths, the 'l'
// and 'h' size prefixes naming 32- and 16-bit arguments, a NULL string
// shown as "(null)", and at most 1024 bytes written including the NUL.
#include <cstdarg>
#include <cstring>

#include "sim/internal.h"

namespace {

// USER32 writes at most this many bytes, the terminating NUL included.
const size_t kLimit = 1024;

// One conversion's flags, width, precision and size prefix.
struct Field {
  bool left = false;      // '-': pad on the right
  bool alternate = false; // '#': "0x" before hexadecimal
  bool zero = false;      // '0': pad numbers with zeros
  int width = 0;          // minimum field width
  int precision = -1;     // minimum digits, or maximum characters of %s
  char size = 0;          // 'h', 'l' or 0
};

void Pad(std::string *out, const Field &field, std::string body,
         const std::string &sign) {
  size_t used = body.size() + sign.size();
  size_t fill = field.width > 0 && size_t(field.width) > used
                    ? size_t(field.width) - used
                    : 0;
  if (field.left)
    *out += sign + body + std::string(fill, ' ');
  else if (field.zero)
    *out += sign + std::string(fill, '0') + body;
  else
    *out += std::string(fill, ' ') + sign + body;
}

void Number(std::string *out, Field field, unsigned long value, bool negative,
            char type) {
  const char *digits = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  unsigned base = (type == 'x' || type == 'X') ? 16 : 10;
  std::string body;
  do {
    body.insert(body.begin(), digits[value % base]);
    value /= base;
  } while (value);
  if (field.precision >= 0) {
    if (size_t(field.precision) > body.size())
      body.insert(0, field.precision - body.size(), '0');
    field.zero = false;
  }
  std::string sign = negative ? "-" : "";
  if (field.alternate && base == 16)
    sign += type == 'X' ? "0X" : "0x";
  Pad(out, field, body, sign);
}

// A 16-bit string for %ls / %S; characters beyond ASCII become '?'.
std::string Narrow(const WORD *wide) {
  if (!wide)
    return "(null)";
  std::string text;
  for (; *wide; ++wide)
    text += *wide < 0x80 ? static_cast<char>(*wide) : '?';
  return text;
}

void Convert(std::string *out, const Field &field, char type, va_list *args) {
  switch (type) {
  case 'd':
  case 'i': {
    int value = va_arg(*args, int);
    if (field.size == 'h')
      value = static_cast<short>(value);
    unsigned long magnitude =
        value < 0 ? 0ul - static_cast<unsigned long>(static_cast<long>(value))
                  : static_cast<unsigned long>(value);
    Number(out, field, magnitude, value < 0, 'd');
    return;
  }
  case 'u':
  case 'x':
  case 'X': {
    unsigned int value = va_arg(*args, unsigned int);
    if (field.size == 'h')
      value = static_cast<unsigned short>(value);
    Number(out, field, value, false, type);
    return;
  }
  case 'c':
  case 'C': {
    char c = static_cast<char>(va_arg(*args, int));
    Pad(out, field, std::string(1, c), "");
    return;
  }
  case 's':
  case 'S': {
    std::string text;
    if ((type == 's' && field.size == 'l') ||
        (type == 'S' && field.size != 'h'))
      text = Narrow(va_arg(*args, const WORD *));
    else if (const char *ansi = va_arg(*args, const char *))
      text = ansi;
    else
      text = "(null)";
    if (field.precision >= 0 && text.size() > size_t(field.precision))
      text.resize(field.precision);
    Pad(out, field, text, "");
    return;
  }
  }
  *out += type; // unknown conversions print their letter, as wsprintf does
}

std::string FormatAll(const char *format, va_list *args) {
  std::string out;
  for (const char *p = format; *p; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    if (!*++p)
      break;
    if (*p == '%') {
      out += '%';
      continue;
    }
    Field field;
    for (;; ++p) {
      if (*p == '-')
        field.left = true;
      else if (*p == '#')
        field.alternate = true;
      else if (*p == '0')
        field.zero = true;
      else
        break;
    }
    for (; *p >= '0' && *p <= '9'; ++p)
      field.width = field.width * 10 + (*p - '0');
    if (*p == '.')
      for (field.precision = 0, ++p; *p >= '0' && *p <= '9'; ++p)
        field.precision = field.precision * 10 + (*p - '0');
    if (*p == 'l' || *p == 'h')
      field.size = *p++;
    if (!*p)
      break;
    Convert(&out, field, *p, args);
  }
  return out;
}

} // namespace

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  SIM_ENTER(0);
  if (!buffer || !format)
    return 0;
  va_list args;
  va_start(args, format);
  std::string text = FormatAll(format, &args);
  va_end(args);
  // Output that reaches the limit stops one byte short of it, and the
  // answer is then the limit itself, not the length written.
  bool full = text.size() >= kLimit - 1;
  if (full)
    text.resize(kLimit - 1);
  memcpy(buffer, text.c_str(), text.size() + 1);
  return full ? static_cast<int>(kLimit) : static_cast<int>(text.size());
}
