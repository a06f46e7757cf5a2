#pragma once
// The error and warning report ERRORS.TXT.

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "import/contact.h"

namespace tvx {

enum class ProblemKind { Error = 0, Warning = 1, Sample = 2 };

// The report line of a problem for the working contact (no line end).
std::string FormatProblemLine(ProblemKind kind, const std::string& problem,
                              const WorkingContact& c);
// The part of a problem line that names the contact, kept when the problem
// is known only later (a write that fails).
std::string ProblemLineContact(const WorkingContact& c);
std::string FormatProblemLine(ProblemKind kind, const std::string& problem,
                              const std::string& contactPart);

class ReportFile {
  public:
    ReportFile() = default;
    ~ReportFile() { Close(); }
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // A file the report must never replace, with what it is ("the target
    // database", ...).
    using Guarded = std::pair<std::string, std::string>;

    // Creates the file anew, empty. Only a regular file with no other link is
    // replaced, never through a symbolic link, and never one of the guarded
    // files. Returns "" on success, else why the file was refused.
    std::string Create(const std::string& path, const std::vector<Guarded>& guarded = {});
    bool IsOpen() const { return file_ != nullptr; }
    // Writes the line followed by CR LF. False when the write failed;
    // error() then says why.
    bool WriteLine(const std::string& line);
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    void Close();

  private:
    std::FILE* file_ = nullptr;
    std::string error_;
    std::string path_;
};

}  // namespace tvx
