#pragma once
// The error and warning report ERRORS.TXT.

#include <cstdio>
#include <string>

#include "import/contact.h"

namespace tvx {

enum class ProblemKind { Error = 0, Warning = 1, Sample = 2 };

// The report line of a problem for the working contact (no line end).
std::string FormatProblemLine(ProblemKind kind, const std::string& problem,
                              const WorkingContact& c);

class ReportFile {
public:
    ReportFile() = default;
    ~ReportFile() { Close(); }
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Creates the file anew, empty. False when it cannot be created.
    bool Create(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    // Writes the line followed by CR LF.
    void WriteLine(const std::string& line);
    void Close();

private:
    std::FILE* file_ = nullptr;
};

}  // namespace tvx
