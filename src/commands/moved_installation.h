// A portable folder carried elsewhere (another folder, another disk, a USB stick under another
// drive letter): its path file still names the configuration folder where the folder used to be.
// Checked once, right after the window is shown.
#pragma once
#include <optional>
#include <string>

#include "model/context.h"
#include "model/ui.h"

namespace velmo {

struct MovedInstallation {
  std::wstring recordedSetting;  // line 1 of the path file: a folder that is not there
  std::wstring currentSetting;   // <dir>\Setting, which is
  std::wstring cacheFolder;      // line 2 to record (CacheFolderAfterMove)
};

// The moved installation when line 1 of the path file is an absolute path other than
// <dir>\Setting (letter case and trailing separators aside), no folder of that path exists and
// <dir>\Setting is a folder. Otherwise nullopt, also when the path file is missing or cannot be
// read. The relative form ("Setting") moves with the folder and never counts.
std::optional<MovedInstallation> FindMovedInstallation(const Context& context);

// Line 2 after a move: the recorded cache folder when it exists; when it lay inside the old
// installation folder (the recorded Setting folder's parent), the same place inside
// `installDir`; otherwise `defaultCache`.
std::wstring CacheFolderAfterMove(const std::wstring& recordedSetting,
                                  const std::wstring& recordedCache,
                                  const std::wstring& installDir,
                                  const std::wstring& defaultCache);

// Asks once whether the browser should use the Setting folder here. Yes: rewrites the path file
// as Set does (without its questions), shows the new lines in the information panel and reports.
// No: nothing changes.
void OfferMovedInstallationRepair(const Context& context, Ui& ui);

}  // namespace velmo
