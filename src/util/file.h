#pragma once
// Files the program reads or writes must be regular files: a named pipe, a
// device such as /dev/zero or a socket would block an open or never end, so
// each is refused, naming the path, before it is opened for reading.

#include <cstdio>
#include <string>

namespace tvx {

enum class FileKind { Regular, Missing, Folder, Special, TooLong, Unusable };

struct FileCheck {
    FileKind kind = FileKind::Missing;
    std::string what;  // "a named pipe (FIFO)", the system's error text, ...

    bool regular() const { return kind == FileKind::Regular; }
};

// The system's text for an errno value (thread-safe, unlike strerror).
std::string SystemErrorText(int error);

// Whether both paths name one existing file (from stat, nothing opened).
bool SameFile(const std::string& a, const std::string& b);

// What the path names, from stat (symbolic links followed).
FileCheck CheckFile(const std::string& path);
// A sentence naming the path and why it cannot be used as a file:
// "Could not find file 'x'.", "'x' is a named pipe (FIFO), not a regular file.",
// "The path is too long: 'x'."
std::string FileProblem(const std::string& path, const FileCheck& check);

// Opens a regular file for reading without ever blocking (a pipe put in its
// place after a check is caught by fstat). -1 when it is no regular file or
// cannot be opened; why tells the reason.
int OpenRegularFile(const std::string& path, FileCheck* why = nullptr);
// The same as a stdio stream ("rb").
std::FILE* OpenRegularStream(const std::string& path, FileCheck* why = nullptr);

}  // namespace tvx
