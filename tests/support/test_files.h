// Files for tests: a temporary folder removed with its content.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& path() const { return path_; }
    // Writes a file into the folder and returns its full path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes);

private:
    std::string path_;
    std::vector<std::string> files_;
};

#include "driver/checker_driver.h"  // checkerExePath
