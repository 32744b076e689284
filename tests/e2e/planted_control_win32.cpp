// The planted-DLL scenario's control: a program that imports winmm.dll statically, as the setup
// once did. Run beside the planted DLLs, it must load the planted winmm.dll, or the scenario
// could not tell a safe setup from one that loads nothing planted at all. Never calls it.
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

int main(int argc, char**) {
  return argc > 99 ? PlaySoundA(nullptr, nullptr, 0) : 0;
}
