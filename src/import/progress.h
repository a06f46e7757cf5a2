#pragma once
// The speed and time-left text that both front ends show during a run.

#include <cstdint>
#include <string>

namespace tvx {

// "1234 records/s, 1:05 left" from the records read so far, the reader's
// position (done of total; total 0 when unknown) and the run's time. Empty
// until half a second has passed: a rate from a few records means nothing.
std::string ProgressSummary(int records, std::int64_t done, std::int64_t total,
                            std::int64_t elapsedMs);

}  // namespace tvx
