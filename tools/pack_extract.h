// The packer's extract command: installs a setup file's payload through the install engine.
#ifndef TSARIN_TOOLS_PACK_EXTRACT_H
#define TSARIN_TOOLS_PACK_EXTRACT_H

// argv[0] is "extract"; the remaining arguments are the command's own. Returns the exit status.
int RunExtractCommand(int argc, char** argv);

#endif  // TSARIN_TOOLS_PACK_EXTRACT_H
