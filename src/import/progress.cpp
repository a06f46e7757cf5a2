#include "import/progress.h"

#include <cmath>
#include <cstdio>

namespace tvx {

std::string ProgressSummary(int records, std::int64_t done, std::int64_t total,
                            std::int64_t elapsedMs) {
    if (elapsedMs < 500 || records <= 0) return std::string();
    const double seconds = static_cast<double>(elapsedMs) / 1000.0;
    std::string text = std::to_string(std::llround(records / seconds)) + " records/s";
    if (total > 0 && done > 0 && done <= total) {
        const long long left =
            std::llround(seconds * static_cast<double>(total - done) / static_cast<double>(done));
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, ", %lld:%02lld left", left / 60, left % 60);
        text += buffer;
    }
    return text;
}

}  // namespace tvx
