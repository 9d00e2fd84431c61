// The box that ends a replacement (Set, restoring the installed browser): success, or what failed
// followed by where the old configuration and the path file are now, as checked on disk. The two
// commands name what they replace in their own words; the rest of the words they share.
#pragma once
#include <string>

#include "commands/replacement.h"
#include "model/ui.h"
#include "support/desktop_rights.h"

namespace velmo {

struct ReplacementWords {
  const wchar_t* copyFailedStart;  // before the path of the folder that could not be copied
  const wchar_t* copyCancelled;    // the user cancelled the copy (ends with CR LF)
  const wchar_t* inUseStart;       // before the path of the entry another program holds
  // The error box for an entry the tool did not make at one of its names (tool title).
  std::wstring (*nameTakenText)(const std::wstring& entry);
  // After a failure: the old configuration and the path file as before; the old configuration
  // as before; the words before where the old configuration is now.
  const wchar_t* allAsBefore;
  const wchar_t* oldAsBefore;
  const wchar_t* oldElsewhere;
  // What is replaced lies in the installation folder: a refused rename of it gets the advice for
  // a write-protected installation folder when that folder is one (preflight).
  bool inInstallFolder;
};

// `success` is the box when the replacement is done; `rights` are the command's, for the write
// check that chooses the advice.
void ReportReplacementResult(Ui& ui, const std::wstring& installDir,
                             const ReplacementResult& result, const std::wstring& success,
                             const ReplacementWords& words, const RightsDecision& rights);

}  // namespace velmo
