// Whether a program is running, judged by the full path of each process's main executable.
#pragma once
#include <string>

namespace velmo {

// True when any running process's main executable has a full path that contains `name`,
// compared without regard to letter case (so "velmoexplorer.exe" finds
// "D:\Apps\VELMOEXPLORER.EXE" and "C:\x\myvelmoexplorer.exe.bak"). One pass over a snapshot of
// the process list, ending at the first match. A process whose path cannot be read (another
// user's, another session's) is judged by its executable's name in the snapshot instead;
// nothing is reported. An empty name matches nothing.
bool IsProcessRunning(const std::wstring& name);

}  // namespace velmo
