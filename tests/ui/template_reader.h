// Reads a dialog template back as the platform's dialog manager does: the classic layout
// (DLGTEMPLATE, DLGITEMTEMPLATE) or the extended one (DLGTEMPLATEEX), items from DWORD
// boundaries, every read bounds-checked. Each part becomes one line of text, so that a test
// compares a template with a table of lines:
//   dialog  "[ex ]STYLE EXSTYLE x,y,cx,cy menu|class|title[ font POINTS[,WEIGHT,ITALIC,SET] FACE]"
//   item    "ID CLASS STYLE EXSTYLE x,y,cx,cy TITLE"
// Styles in hex, an ordinal name as "#N"; a help id or creation data that is not zero is
// appended as " help=N" or " extra=N". Returns the bytes used, 0 when the template ends early.
#ifndef TSARIN_TESTS_UI_TEMPLATE_READER_H
#define TSARIN_TESTS_UI_TEMPLATE_READER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline size_t ReadTemplate(const void* data, size_t size, std::vector<std::string>* lines) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t pos = 0;
  auto get = [&](int n) {  // n bytes, little-endian; past the end pos runs over `size`
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos) v |= (pos < size ? bytes[pos] : 0u) << 8 * i;
    return v;
  };
  auto hex = [](uint32_t v) {
    char text[12];
    return std::string(text, std::snprintf(text, sizeof text, "%X ", v));
  };
  auto box = [&](std::string s) {  // appended to s, as are the names below
    for (int i = 0; i < 4; ++i) s += std::to_string(static_cast<int16_t>(get(2))) + ", "[i / 3];
    return s;
  };
  auto name = [&](std::string s) {
    if (get(2) == 0xFFFF) return s + "#" + std::to_string(get(2));
    for (pos -= 2; uint32_t c = get(2);) s += c < 0x80 ? static_cast<char>(c) : '?';
    return s;
  };
  auto help = [](uint32_t id) { return id ? " help=" + std::to_string(id) : std::string(); };
  const bool ex = get(4) == 0xFFFF0001u;
  pos = ex ? pos : 0;
  const uint32_t dialogHelp = ex ? get(4) : 0, first = get(4), second = get(4), count = get(2);
  const uint32_t style = ex ? second : first;  // extended: exStyle, style; classic: reversed
  std::string line =
      name(name(name(box((ex ? "ex " : "") + hex(style) + hex(ex ? first : second))) + "|") + "|");
  if (style & 0x40) {  // DS_SETFONT
    line += " font " + std::to_string(get(2));
    for (int i = 0; ex && i < 3; ++i) line += "," + std::to_string(get(i ? 1 : 2));
    line = name(line + " ");
  }
  lines->assign(1, line + help(dialogHelp));
  for (uint32_t k = 0; k < count && pos <= size; ++k) {
    pos = (pos + 3) & ~size_t{3};
    const uint32_t itemHelp = ex ? get(4) : 0, a = get(4), b = get(4);
    const std::string place = box(ex ? hex(b) + hex(a) : hex(a) + hex(b));
    const uint32_t id = get(ex ? 4 : 2);
    line = std::to_string(ex ? static_cast<int32_t>(id) : static_cast<int16_t>(id)) + " ";
    line = name(name(line) + " " + place) + help(itemHelp);
    if (const uint32_t extra = get(2)) line += " extra=" + std::to_string(extra), pos += extra;
    lines->push_back(line);
  }
  return pos <= size ? pos : 0;
}

#endif  // TSARIN_TESTS_UI_TEMPLATE_READER_H
