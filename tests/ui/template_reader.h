// Reads dialog templates back for the tests: the classic layout (DLGTEMPLATE and
// DLGITEMTEMPLATE) and the extended one (DLGTEMPLATEEX), as the platform's dialog manager
// reads them, items from DWORD boundaries. Every read is bounds-checked; a template that ends
// early fails the parse.
#ifndef TSARIN_TESTS_UI_TEMPLATE_READER_H
#define TSARIN_TESTS_UI_TEMPLATE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Names (menu, class, title) read back as text: "" for none, "#128" for an ordinal; UTF-16
// narrowed, characters above 0x7F become '?'.
struct TemplateItem {
  uint32_t helpId = 0, exStyle = 0, style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint32_t id = 0;  // 16 bits in the classic layout, 32 in the extended one
  std::string windowClass, title;
  uint16_t extraSize = 0;
};

struct TemplateDialog {
  bool extended = false;
  uint32_t helpId = 0, exStyle = 0, style = 0;
  uint16_t itemCount = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::string menu, windowClass, title;
  bool hasFont = false;
  uint16_t pointSize = 0, weight = 0;
  uint8_t italic = 0, charset = 0;
  std::string face;
  std::vector<TemplateItem> items;
  size_t size = 0;  // bytes used, through the end of the last item
};

class TemplateReader {
 public:
  TemplateReader(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  bool Parse(TemplateDialog* d) {
    d->extended =
        size_ >= 4 && data_[0] == 1 && data_[1] == 0 && data_[2] == 0xFF && data_[3] == 0xFF;
    ReadStyles(d->extended, &d->helpId, &d->exStyle, &d->style);
    d->itemCount = Read16();
    ReadBox(&d->x, &d->y, &d->cx, &d->cy);
    d->menu = ReadName();
    d->windowClass = ReadName();
    d->title = ReadName();
    if (d->style & 0x40) {  // DS_SETFONT
      d->hasFont = true;
      d->pointSize = Read16();
      if (d->extended) {
        d->weight = Read16();
        d->italic = Read8();
        d->charset = Read8();
      }
      d->face = ReadName();
    }
    for (int i = 0; i < d->itemCount && ok_; ++i) {
      while (pos_ % 4 != 0) Read8();
      TemplateItem item;
      ReadStyles(d->extended, &item.helpId, &item.exStyle, &item.style);
      ReadBox(&item.x, &item.y, &item.cx, &item.cy);
      item.id = d->extended ? Read32() : Read16();
      item.windowClass = ReadName();
      item.title = ReadName();
      item.extraSize = Read16();
      for (int k = 0; k < item.extraSize && ok_; ++k) Read8();
      d->items.push_back(item);
    }
    d->size = pos_;
    return ok_;
  }

 private:
  uint8_t Read8() {
    if (!ok_ || pos_ >= size_) {
      ok_ = false;
      return 0;
    }
    return data_[pos_++];
  }
  uint16_t Read16() {
    const uint8_t lo = Read8();
    return static_cast<uint16_t>(lo | Read8() << 8);
  }
  uint32_t Read32() {
    const uint32_t lo = Read16();
    return lo | static_cast<uint32_t>(Read16()) << 16;
  }
  // Extended: signature, help id, extended style, style; classic: style, extended style.
  void ReadStyles(bool extended, uint32_t* helpId, uint32_t* exStyle, uint32_t* style) {
    if (extended) {
      if (pos_ == 0) Read32();
      *helpId = Read32();
      *exStyle = Read32();
      *style = Read32();
    } else {
      *style = Read32();
      *exStyle = Read32();
    }
  }
  void ReadBox(int16_t* x, int16_t* y, int16_t* cx, int16_t* cy) {
    for (int16_t* v : {x, y, cx, cy}) *v = static_cast<int16_t>(Read16());
  }
  std::string ReadName() {
    std::string s;
    uint16_t c = Read16();
    if (c == 0xFFFF) return "#" + std::to_string(Read16());
    for (; c != 0 && ok_; c = Read16()) s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return s;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

#endif  // TSARIN_TESTS_UI_TEMPLATE_READER_H
