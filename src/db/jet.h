#pragma once
// Limits of the Jet reader. libmdb trusts what it reads; a damaged file can
// make it loop, so every read runs apart from the program and is given up
// when it stops producing rows for this long.

#include <chrono>

namespace tvx {

// The longest wait for the next row (or the table list) of a Jet file before
// the file is taken as damaged. Tests shorten it.
std::chrono::milliseconds JetStallTimeout();
void SetJetStallTimeout(std::chrono::milliseconds timeout);

}  // namespace tvx
