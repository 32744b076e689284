// Reads dialog templates back for the tests: the classic layout (DLGTEMPLATE and
// DLGITEMTEMPLATE) and the extended one (DLGTEMPLATEEX), as the platform's dialog manager
// reads them. Every read is bounds-checked; a template that ends early, or an item that does
// not start on a DWORD boundary, fails the parse.
#ifndef TSARIN_TESTS_UI_TEMPLATE_READER_H
#define TSARIN_TESTS_UI_TEMPLATE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TemplateName {
  bool present = false;  // false for the 0x0000 "none" form
  bool isOrdinal = false;
  uint16_t ordinal = 0;
  std::string text;  // UTF-16 narrowed; characters above 0x7F become '?'
};

struct TemplateItem {
  uint32_t helpId = 0;
  uint32_t exStyle = 0;
  uint32_t style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint32_t id = 0;  // 16 bits in the classic layout, 32 in the extended one
  TemplateName windowClass;
  TemplateName title;
  uint16_t extraSize = 0;
  size_t offset = 0;  // where the item starts in the template
};

struct TemplateDialog {
  bool extended = false;
  uint32_t helpId = 0;
  uint32_t exStyle = 0;
  uint32_t style = 0;
  uint16_t itemCount = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  TemplateName menu;
  TemplateName windowClass;
  std::string title;
  bool hasFont = false;
  uint16_t pointSize = 0;
  uint16_t weight = 0;
  uint8_t italic = 0;
  uint8_t charset = 0;
  std::string face;
  std::vector<TemplateItem> items;
  size_t size = 0;  // bytes used, through the end of the last item
};

class TemplateReader {
 public:
  TemplateReader(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  bool Parse(TemplateDialog* d) {
    const bool extended = size_ >= 4 && Peek16(0) == 1 && Peek16(2) == 0xFFFF;
    d->extended = extended;
    if (extended) {
      pos_ = 4;
      d->helpId = Read32();
      d->exStyle = Read32();
      d->style = Read32();
    } else {
      d->style = Read32();
      d->exStyle = Read32();
    }
    d->itemCount = Read16();
    d->x = static_cast<int16_t>(Read16());
    d->y = static_cast<int16_t>(Read16());
    d->cx = static_cast<int16_t>(Read16());
    d->cy = static_cast<int16_t>(Read16());
    d->menu = ReadName();
    d->windowClass = ReadName();
    d->title = ReadString();
    constexpr uint32_t kSetFont = 0x40;
    if (d->style & kSetFont) {
      d->hasFont = true;
      d->pointSize = Read16();
      if (extended) {
        d->weight = Read16();
        d->italic = Read8();
        d->charset = Read8();
      }
      d->face = ReadString();
    }
    for (int i = 0; i < d->itemCount && ok_; ++i) {
      while (pos_ % 4 != 0) Read8();
      TemplateItem item;
      item.offset = pos_;
      if (extended) {
        item.helpId = Read32();
        item.exStyle = Read32();
        item.style = Read32();
      } else {
        item.style = Read32();
        item.exStyle = Read32();
      }
      item.x = static_cast<int16_t>(Read16());
      item.y = static_cast<int16_t>(Read16());
      item.cx = static_cast<int16_t>(Read16());
      item.cy = static_cast<int16_t>(Read16());
      item.id = extended ? Read32() : Read16();
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
  uint16_t Peek16(size_t at) const { return static_cast<uint16_t>(data_[at] | data_[at + 1] << 8); }
  uint8_t Read8() {
    if (!ok_ || pos_ + 1 > size_) {
      ok_ = false;
      return 0;
    }
    return data_[pos_++];
  }
  uint16_t Read16() {
    const uint8_t lo = Read8();
    const uint8_t hi = Read8();
    return static_cast<uint16_t>(lo | hi << 8);
  }
  uint32_t Read32() {
    const uint32_t lo = Read16();
    return lo | static_cast<uint32_t>(Read16()) << 16;
  }
  std::string ReadString() {
    std::string s;
    for (uint16_t c = Read16(); c != 0 && ok_; c = Read16())
      s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return s;
  }
  TemplateName ReadName() {
    TemplateName n;
    const uint16_t first = Read16();
    if (first == 0) return n;
    n.present = true;
    if (first == 0xFFFF) {
      n.isOrdinal = true;
      n.ordinal = Read16();
      return n;
    }
    n.text.push_back(first < 0x80 ? static_cast<char>(first) : '?');
    n.text += ReadString();
    return n;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

#endif  // TSARIN_TESTS_UI_TEMPLATE_READER_H
