#include "shell/text_format.h"

namespace {
// Writes within the buffer and counts past its end, as snprintf does.
struct BoundedOut {
  char* out;
  size_t size;
  size_t length;
  void Put(char c) {
    if (length + 1 < size) out[length] = c;
    ++length;
  }
};
}  // namespace

int FormatTextV(char* out, size_t size, const char* format, va_list args) {
  BoundedOut o{out, size, 0};
  for (const char* f = format; *f != '\0'; ++f) {
    if (*f != '%') {
      o.Put(*f);
      continue;
    }
    const char conversion = f[1] == 'l' && f[2] == 'u' ? 'U' : f[1];
    if (conversion == 's') {
      const char* s = va_arg(args, const char*);
      if (s == nullptr) s = "(null)";
      while (*s != '\0') o.Put(*s++);
    } else if (conversion == 'd' || conversion == 'u' || conversion == 'U') {
      unsigned long value;
      if (conversion == 'd') {
        const int number = va_arg(args, int);
        value = number < 0 ? 0ul - static_cast<unsigned long>(number)
                           : static_cast<unsigned long>(number);
        if (number < 0) o.Put('-');
      } else if (conversion == 'u') {
        value = va_arg(args, unsigned);
      } else {
        value = va_arg(args, unsigned long);
        ++f;  // the 'l'
      }
      char digits[24];
      int count = 0;
      do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
      } while (value != 0);
      while (count > 0) o.Put(digits[--count]);
    } else if (conversion == '%') {
      o.Put('%');
    } else {
      o.Put('%');
      if (conversion == '\0') break;
      o.Put(conversion);
    }
    ++f;
  }
  if (size != 0) out[o.length < size ? o.length : size - 1] = '\0';
  return static_cast<int>(o.length);
}

int FormatText(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = FormatTextV(out, size, format, args);
  va_end(args);
  return length;
}
