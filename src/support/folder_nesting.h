// Whether two folders are one, or one lies inside the other, as the file system links them.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "support/file_queries.h"

namespace velmo {

enum class Nesting {
  kApart,    // neither is the other nor lies inside it
  kNested,   // the same folder, or one lies inside the other
  kUnknown,  // an identity on the way could not be read: the caller cannot tell, and refuses
};

// Whether `a` and `b` are the same folder or one lies inside the other. Decided by identity
// (volume serial and file index) of each folder and of every folder above it on its final path,
// never by the text: any spelling ("\\?\" prefix, short names, doubled or trailing separators), a
// subst or mapped drive, a junction or a symbolic link on the way gives the same answer. A folder
// that does not exist lies inside its nearest existing parent and holds nothing. kUnknown when
// the final path or an identity on the way cannot be read (no text is trusted instead).
Nesting FoldersNested(const std::wstring& a, const std::wstring& b);

// Whether the existing folder whose identity is `outer` is one of `chain` (another folder's
// identity and those of the folders above it); kUnknown when either could not be read.
Nesting HoldsOrIs(const std::optional<EntryIdentity>& outer,
                  const std::optional<std::vector<EntryIdentity>>& chain);

// The answer of the two directions together: nested when either says so, otherwise unknown when
// either cannot tell.
Nesting EitherWay(Nesting aHoldsB, Nesting bHoldsA);

}  // namespace velmo
