#pragma once
// The frame of one record as the event reporter stores it:
//   guid "|" when "|" text "|" type "|" ","
// with guid the terminal's identifier (printable ASCII), when a
// "YYYY-MM-DD hh:mm:ss" time stamp and type a decimal number.
// The salvage of a damaged store reads record boundaries from this frame,
// since the text itself may hold any byte but NUL.
#include <cstddef>
#include <string_view>

namespace torvane::report {

// Where the text of a record starting at `at` begins (just after its
// "guid|when|"), or npos when no record header starts there.
std::size_t RecordHeaderEnd(std::string_view plain, std::size_t at);

// Where the "|type|," that ends at `end` begins, or npos when the bytes
// before `end` are no such terminator.
std::size_t RecordTerminatorStart(std::string_view plain, std::size_t end);

// Whether bytes hold a piece of a record frame that a record's text does
// not: a NUL, or either end of a time stamp between bars ("|dddd" or
// "d:dd|"), which is what survives of a header that damage cut into.
bool HoldsFrameDebris(std::string_view bytes);

}  // namespace torvane::report
