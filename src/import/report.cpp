#include "import/report.h"

namespace tvx {

std::string FormatProblemLine(ProblemKind kind, const std::string& problem,
                              const WorkingContact& c) {
    std::string line;
    if (kind == ProblemKind::Error) line = "ERROR:  ";
    if (kind == ProblemKind::Warning) line = "Warning: ";
    line += problem;
    line += ' ';
    line += c.m_strCall;
    line += ' ';
    line += c.m_strDate;
    line += ' ';
    line += c.m_strTime;
    line += ' ';
    line += c.m_strFreq;
    line += ' ';
    line += BandName(LeadingInt(c.m_strBand));
    line += "m  ";
    line += ModeName(LeadingInt(c.m_strMode));
    line += ' ';
    line += c.m_strRstSent;
    line += ' ';
    line += c.m_strRstRcvd;
    line += ' ';
    line += c.m_strState;
    line += ' ';
    line += c.m_strCounty;
    return line;
}

bool ReportFile::Create(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

void ReportFile::WriteLine(const std::string& line) {
    if (!file_) return;
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fwrite("\r\n", 1, 2, file_);
    // Keep the report readable while a long run goes on.
    std::fflush(file_);
}

void ReportFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

}  // namespace tvx
