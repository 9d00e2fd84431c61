#include "support/folder_nesting.h"

#include <gtest/gtest.h>

#include "support/path_text.h"

namespace velmo {
namespace {

// A folder whose identity, or that of a folder above the other, cannot be read is never taken
// for one apart: the restore would delete the folder it copies from.
TEST(FolderNesting, WhatCannotBeReadIsNeverApart) {
  const EntryIdentity a{1, 0, 7}, b{1, 0, 8};
  const std::vector<EntryIdentity> aAbove{a, {1, 0, 5}};
  EXPECT_EQ(HoldsOrIs(a, aAbove), Nesting::kNested);
  EXPECT_EQ(HoldsOrIs(b, aAbove), Nesting::kApart);
  EXPECT_EQ(HoldsOrIs(std::nullopt, aAbove), Nesting::kUnknown);
  EXPECT_EQ(HoldsOrIs(a, std::nullopt), Nesting::kUnknown);
  const struct { Nesting one, other, both; } rows[] = {
      {Nesting::kApart, Nesting::kApart, Nesting::kApart},
      {Nesting::kUnknown, Nesting::kApart, Nesting::kUnknown},
      {Nesting::kApart, Nesting::kUnknown, Nesting::kUnknown},
      {Nesting::kUnknown, Nesting::kNested, Nesting::kNested}};
  for (const auto& row : rows) EXPECT_EQ(EitherWay(row.one, row.other), row.both);
}

// The walk up a path stops at a root: above a server lies no folder, and "\" is a drive's root.
TEST(FolderNesting, TheWalkUpStopsAtARoot) {
  const struct { const wchar_t* path; const wchar_t* parent; } rows[] = {
      {L"C:\\a", L"C:\\"}, {L"C:\\", L""}, {L"\\", L""}, {L"\\\\s\\share\\a", L"\\\\s\\share"},
      {L"\\\\s\\share", L""}, {L"\\\\s", L""}};
  for (const auto& row : rows) EXPECT_EQ(ParentFolder(row.path), row.parent) << row.path;
}

}  // namespace
}  // namespace velmo
