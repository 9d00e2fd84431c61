// Numbers as text, without the C library's formatted printing (which would add its whole
// printf engine to the executable for a handful of digits).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo {

// Unsigned decimal: digits only, no sign, no leading zeros ("0" for zero), no grouping.
std::wstring DecimalText(std::uint32_t value);

// The same digits as ASCII bytes, for the files the tool writes.
std::string DecimalBytes(std::size_t value);

// "0x" and eight upper-case hexadecimal digits, as HRESULTs are usually written.
std::wstring HexText(std::uint32_t value);

// A size as the system's file manager shows it: in MB below 1000 MB, in GB below 1000 GB, else
// in TB (units of 1024), with three significant digits, cut rather than rounded ("0.29 MB",
// "12.3 GB", "512 MB").
std::wstring ByteSizeText(std::uint64_t bytes);

}  // namespace velmo
