// The choice of what gets installed: the option mask from the developer check box, the
// developer file patterns that decide each archive entry, the Start-menu shortcut table, and
// the detection of the read-me file.
#ifndef TSARIN_SETUP_COMPONENT_SELECTION_H
#define TSARIN_SETUP_COMPONENT_SELECTION_H

#include <cstddef>
#include <cstdint>

// Option mask values. A table row applies when its mask AND the option mask is not 0.
constexpr uint8_t kOptionStandard = 1;
constexpr uint8_t kOptionDeveloper = 2;
constexpr uint8_t kMaskAll = 0xFF;

struct ComponentPattern {
  const char* pattern;
  uint8_t mask;
};

struct ShortcutRow {
  const char* linkName;    // created in the product's Start-menu folder
  const char* targetName;  // in the base target directory
  uint8_t mask;
};

extern const ComponentPattern ComponentPatternTable[10];
extern const ShortcutRow ShortcutTable[8];

// 2 when the developer check box is checked, else 1.
uint8_t ReadOptionMask();

// Non-zero when the file entry name is to be extracted. Records a name matching "readme.*"
// (with its path under the current directory) as the read-me, whatever the answer.
uint8_t IsEntrySelected(const char* name);

#endif  // TSARIN_SETUP_COMPONENT_SELECTION_H
