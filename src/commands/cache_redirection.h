// Browse and Move folder: choosing the browser's Webkit cache folder and recording it.
#pragma once
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// Browse: fills Text1 with a folder chosen in the folder browser.
void BrowseCacheFolder(const Context& context, Ui& ui);

// Move folder: records the folder named in Text1 as the cache folder in the path file.
void MoveCacheFolder(const Context& context, Ui& ui);

}  // namespace velmo
