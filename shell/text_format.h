// Bounded text formatting for the install's messages and paths.
//
// The setup program only ever formats texts and unsigned numbers into fixed buffers, so it
// carries this small formatter instead of the C library's: on Win32 the runtime's own printf
// family would add more code than the rest of the engine. The result follows snprintf: the
// text is cut to fit `size` bytes and always terminated (unless `size` is 0), and the return
// value is the length the whole text would have had, so `result >= size` means it was cut.
//
// Conversions: %s (a null pointer prints "(null)"), %d, %u, %lu and %%. Any other character
// after % is copied as it stands, with the %.
#ifndef TSARIN_SHELL_TEXT_FORMAT_H
#define TSARIN_SHELL_TEXT_FORMAT_H

#include <cstdarg>
#include <cstddef>

int FormatText(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int FormatTextV(char* out, size_t size, const char* format, va_list args);

#endif  // TSARIN_SHELL_TEXT_FORMAT_H
