// Start of the Velmo portable maker: one window, no command line.
#include <windows.h>

#include "app/context.h"
#include "app/form1.h"
#include "support/com.h"
#include "support/system_library.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // The tool sits in a folder of another vendor's DLLs: never load one from there.
  velmo::RestrictDllSearchToSystem32();
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  // The shell and automation objects the commands use need a single-threaded apartment.
  velmo::ComApartment apartment;
  velmo::Form1 form(instance, velmo::Context::FromProcess());
  return form.Run(showCommand);
}
