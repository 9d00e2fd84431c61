// Start of the Velmo portable maker: one window, no command line.
#include <windows.h>

#include "model/context.h"
#include "support/system_library.h"
#include "window/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // The tool sits in a folder of another vendor's DLLs: never load one from there.
  velmo::RestrictDllSearchToSystem32();
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  // No COM here: each command that uses the shell or an automation object loads COM and enters
  // its own apartment, so the window starts without ole32, oleaut32 and shell32.
  velmo::MainWindow window(instance, velmo::Context::FromProcess());
  return window.Run(showCommand);
}
