// Scratch files for the owner data tests: a folder of the test's own under
// the working directory, and files written and read as raw bytes.
#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

class OwnerDataFiles : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string &name) const;
    void writeBytes(const std::string &name, const std::string &bytes) const;
    std::string readBytes(const std::string &name) const;
    std::vector<std::string> fileNames() const;  // sorted

    // Opens the file, returns its record lines and closes it; status gets
    // the open's result.
    std::vector<std::string> loadLines(const std::string &name, int scrambled, int *status) const;

    std::string dir;
};

// "Type=Tessera Data" and the end of a plain line as this platform's text
// streams write it.
extern const std::string ownerHeader;
extern const std::string lineEnd;
std::string plainFile(const std::vector<std::string> &lines);
