#pragma once
// A fresh folder for one test, removed with everything in it afterwards.

#include <string>

namespace klik::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Reads a whole file ("" when missing).
std::string readFile(const std::string& path);
// Writes a whole file, creating parent folders.
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace klik::test
