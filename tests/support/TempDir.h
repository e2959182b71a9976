#pragma once
// A private temporary folder for one test, removed with everything in it at the end.

#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }

  private:
    std::string path;
};
