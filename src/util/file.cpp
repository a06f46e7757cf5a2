#include "util/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tvx {

namespace {

FileCheck FromMode(mode_t mode) {
    if (S_ISREG(mode)) return {FileKind::Regular, {}};
    if (S_ISDIR(mode)) return {FileKind::Folder, "a folder"};
    if (S_ISFIFO(mode)) return {FileKind::Special, "a named pipe (FIFO)"};
    if (S_ISSOCK(mode)) return {FileKind::Special, "a socket"};
    if (S_ISCHR(mode) || S_ISBLK(mode)) return {FileKind::Special, "a device"};
    return {FileKind::Special, "not a file"};
}

FileCheck FromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return {FileKind::Missing, SystemErrorText(error)};
        case ENAMETOOLONG:
            return {FileKind::TooLong, SystemErrorText(error)};
        default:
            return {FileKind::Unusable, SystemErrorText(error)};
    }
}

}  // namespace

std::string SystemErrorText(int error) {
    char buffer[256];
    // The GNU strerror_r returns its text, which need not be in buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) {
        return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

FileCheck CheckFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return FromErrno(errno);
    return FromMode(st.st_mode);
}

std::string FileProblem(const std::string& path, const FileCheck& check) {
    const std::string quoted = "'" + path + "'";
    switch (check.kind) {
        case FileKind::Regular:
            return {};
        case FileKind::Missing:
            return "Could not find file " + quoted + ".";
        case FileKind::TooLong:
            return "The path is too long: " + quoted + ".";
        case FileKind::Folder:
        case FileKind::Special:
            return quoted + " is " + check.what + ", not a regular file.";
        case FileKind::Unusable:
            break;
    }
    return quoted + ": " + check.what + ".";
}

int OpenRegularFile(const std::string& path, FileCheck* why) {
    FileCheck check = CheckFile(path);
    int fd = -1;
    if (check.regular()) {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd < 0) {
            check = FromErrno(errno);
        } else if (::fstat(fd, &st) != 0) {
            check = FromErrno(errno);
        } else {
            check = FromMode(st.st_mode);
        }
        if (!check.regular() && fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd >= 0) {
        // Reads of a regular file never wait anyway; later readers expect
        // ordinary blocking reads.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    if (why) *why = check;
    return fd;
}

std::FILE* OpenRegularStream(const std::string& path, FileCheck* why) {
    const int fd = OpenRegularFile(path, why);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        if (why) *why = FromErrno(errno);
        ::close(fd);
    }
    return file;
}

}  // namespace tvx
