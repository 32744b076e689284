#include "setup/component_selection.h"

#include <cstring>

#include "setup/install_context.h"
#include "setup/path_rules.h"
#include "shell/file_helpers.h"

// The developer components. An entry that matches none of these is part of every install.
const ComponentPattern ComponentPatternTable[10] = {
    {"apiref.htm", kOptionDeveloper},  {"proto_*", kOptionDeveloper},
    {"apidemo.exe", kOptionDeveloper}, {"pbar.dll", kOptionDeveloper},
    {"tscv.dll", kOptionDeveloper},    {"tscv.lib", kOptionDeveloper},
    {"ksniff.lib", kOptionDeveloper},  {"pbar.lib", kOptionDeveloper},
    {"sample.frm", kOptionDeveloper},  {"sample.vbp", kOptionDeveloper},
};

// Target names are lower case; Windows finds the payload's files under any case.
const ShortcutRow ShortcutTable[8] = {
    {"Tessarin Program.Lnk", "tsn.exe", kMaskAll},
    {"Online Help.Lnk", "tsn.hlp", kMaskAll},
    {"User Manual.Lnk", "tsn.htm", kMaskAll},
    {"Network Administrator's Guide.Lnk", "tsnnet_a.htm", kMaskAll},
    {"Network User's Guide.Lnk", "tsnnet_u.htm", kMaskAll},
    {"Pelicode Language Reference.Lnk", "plc.htm", kMaskAll},
    {"Developer's Reference.Lnk", "apiref.htm", kOptionDeveloper},
    {"Developer's Test Program.Lnk", "apidemo.exe", kOptionDeveloper},
};

uint8_t ReadOptionMask() {
  return installContext.setupDialog->IsDeveloperChecked() ? kOptionDeveloper : kOptionStandard;
}

uint8_t IsEntrySelected(const char* name) {
  InstallContext& ctx = installContext;
  if (MatchWildcard(name, "readme.*")) {
    // Recorded whole or not at all: a cut name or path would open or link the wrong file.
    char path[kPathSize];
    size_t length = std::strlen(name);
    if (length < sizeof ctx.readMeName && JoinPath(path, ctx.installDir, name)) {
      std::memcpy(ctx.readMeName, name, length + 1);
      std::memcpy(ctx.readMePath, path, sizeof path);
    }
  }
  for (const ComponentPattern& row : ComponentPatternTable) {
    if (MatchWildcard(name, row.pattern)) return row.mask & ctx.optionMask;
  }
  return 1;
}
