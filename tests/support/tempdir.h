#pragma once
// A unique temporary folder for one test, removed with everything in it when
// the object goes away.

#include <string>

namespace tvx::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Path of a file inside the folder (the file is not created).
    std::string file(const std::string& name) const;
    // Writes bytes to a file inside the folder and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;

  private:
    std::string path_;
};

}  // namespace tvx::test
