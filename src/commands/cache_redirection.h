// Browse and Move folder: choosing the browser's Webkit cache folder and recording it.
#pragma once
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// Browse: fills the cache folder box with a folder chosen in the folder browser.
void BrowseCacheFolder(const Context& context, Ui& ui);

// Move folder: records the folder named in the cache folder box in the path file. Ends the tool
// when the user chooses to stop at the question about the Setting folder's path.
AfterCommand MoveCacheFolder(const Context& context, Ui& ui);

}  // namespace velmo
