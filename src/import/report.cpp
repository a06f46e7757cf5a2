#include "import/report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/file.h"

namespace tvx {

std::string ProblemLineContact(const WorkingContact& c) {
    std::string line = c.m_strCall;
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

std::string FormatProblemLine(ProblemKind kind, const std::string& problem,
                              const std::string& contactPart) {
    std::string line;
    if (kind == ProblemKind::Error) line = "ERROR:  ";
    if (kind == ProblemKind::Warning) line = "Warning: ";
    line += problem;
    line += ' ';
    line += contactPart;
    return line;
}

std::string FormatProblemLine(ProblemKind kind, const std::string& problem,
                              const WorkingContact& c) {
    return FormatProblemLine(kind, problem, ProblemLineContact(c));
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why the opened report may not be written over; "" when it may.
std::string Refusal(const struct stat& st, const std::vector<ReportFile::Guarded>& guarded) {
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    for (const auto& [path, what] : guarded) {
        struct stat other {};
        if (!path.empty() && ::stat(path.c_str(), &other) == 0 && SameFile(st, other)) {
            return "it is " + what;
        }
    }
    // Another name of the same file would lose its contents.
    if (st.st_nlink > 1) return "it has other hard links";
    return {};
}

}  // namespace

std::string ReportFile::Create(const std::string& path, const std::vector<Guarded>& guarded) {
    Close();
    error_.clear();
    path_ = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
        if (!S_ISREG(st.st_mode)) return "it is not a regular file";
        // Refused before it is opened: closing a descriptor of the target
        // would drop the locks of the program's own connection to it.
        if (std::string refusal = Refusal(st, guarded); !refusal.empty()) return refusal;
    }
    // No truncation before the checks, no following of a link that appeared
    // since, and no waiting on a FIFO.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno == ELOOP ? std::string("it is a symbolic link") : SystemErrorText(errno);
    }
    std::string refusal;
    if (::fstat(fd, &st) != 0) {
        refusal = SystemErrorText(errno);
    } else {
        refusal = Refusal(st, guarded);
    }
    if (refusal.empty() && ::ftruncate(fd, 0) != 0) refusal = SystemErrorText(errno);
    if (refusal.empty()) {
        file_ = ::fdopen(fd, "wb");
        if (!file_) refusal = SystemErrorText(errno);
    }
    if (!file_) ::close(fd);
    return refusal;
}

bool ReportFile::WriteLine(const std::string& line) {
    if (!file_) return true;
    // Keep the report readable while a long run goes on.
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
        std::fwrite("\r\n", 1, 2, file_) != 2 || std::fflush(file_) != 0) {
        error_ = SystemErrorText(errno);
        return false;
    }
    return true;
}

void ReportFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

}  // namespace tvx
