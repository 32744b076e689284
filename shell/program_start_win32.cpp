// The entry point of our Windows programs (the setup and the uninstaller), in place of the C
// runtime's start-up code: they are linked with -nostartfiles and compiled as one unit with
// -fwhole-program, and each includes this file once. msvcrt.dll initialises itself when it is
// loaded; what the start-up code did beyond that and the programs need is done here: the runtime
// is told this is a windowed program, the static constructors run (the linker lists them between
// a -1 and a 0, to be called last to first), and the process ends through exit(), so that the
// destructors registered with atexit run. The system enters with the stack aligned to 4 bytes
// only, which the programs' own code is built for; the runtime library code linked in may
// expect 16.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

extern "C" void (*__CTOR_LIST__[])();
extern "C" void __cdecl __set_app_type(int);

// The compiler registers the destructors of static objects with atexit, which the start-up
// code used to provide; the runtime's _onexit keeps the list that exit() runs.
extern "C" int __cdecl atexit(void(__cdecl* function)()) {
  return _onexit(reinterpret_cast<_onexit_t>(function)) != nullptr ? 0 : -1;
}

// Visible to the linker although the program is compiled as a whole (-fwhole-program).
extern "C" __attribute__((force_align_arg_pointer, noreturn, externally_visible)) void
WinMainCRTStartup() {
  constexpr int kGuiApp = 2;
  __set_app_type(kGuiApp);
  size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (; count > 0; --count) __CTOR_LIST__[count]();
  std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT));
}
