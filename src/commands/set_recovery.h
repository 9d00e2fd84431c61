// After a Set that was interrupted (the tool killed, the machine switched off): puts the
// installation folder back into one of two states, as before the click or as after a successful
// Set, from what the Set's own names and journal show. Never deletes a folder that may be the
// only copy of a configuration: a copy of the profile can be made again, the old Setting cannot.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "model/context.h"
#include "model/ui.h"
#include "support/folder_deletion.h"

namespace velmo {

// A configuration that was at Setting and could not be put back there.
struct AsideConfiguration {
  std::wstring path;   // where it is now
  bool settingTaken;   // Setting holds another configuration (else it could not be renamed)
};

struct TidyReport {
  std::vector<AsideConfiguration> configurations;
};

// Whether an interrupted Set (of this version of the tool or an earlier one) left anything
// behind in the installation folder. Reads attributes and names only.
bool HasSetLeftovers(const std::wstring& installDir);

// Removes the Set's partial copies and temporary files, undoes a swap that was not committed,
// finishes one that was, and puts a configuration that was moved aside back at Setting; when
// Setting holds another configuration it gives the moved-aside one a visible name instead. The
// browser must not be running.
TidyReport TidyInterruptedSet(const std::wstring& installDir, const FolderDeleter& deleter);

// What the user is told about the report's configurations; empty when there are none.
std::wstring AsideConfigurationsText(const std::wstring& installDir, const TidyReport& report);

// Before a Set: the same clean-up, with a box for a configuration kept aside. Creates the
// deleter when there is something to remove. Returns false, after saying so, when one of the
// Set's own names is still taken.
bool TidyBeforeSet(const std::wstring& installDir, std::optional<FolderDeleter>& deleter, Ui& ui);

// Start-up, before the window shows: nothing to do (and nothing written) unless an interrupted
// Set left something behind; the names of a Set that another instance of the tool is running are
// its work, not leftovers. While the browser runs, nothing is touched and the user is told.
void RecoverInterruptedSet(const Context& context, Ui& ui);

}  // namespace velmo
