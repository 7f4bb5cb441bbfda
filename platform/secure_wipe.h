#pragma once
// Overwriting memory that held a secret, in a way the optimiser does not
// drop as a dead store before the memory is freed.
#include <cstddef>
#include <string>

namespace torvane::platform {

// Zeroes `size` bytes at `data`.
void WipeBytes(void* data, std::size_t size);

// Zeroes the string's whole buffer, not only its current text: bytes past
// size() may still hold an earlier, longer text (or the tail of one kept in
// the small-string buffer), then empties it. The capacity is kept.
void WipeString(std::string& text);

}  // namespace torvane::platform
