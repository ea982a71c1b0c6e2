// Owner data files for tests, made and read through the program's own codec
// and store (their byte format is pinned by the codec's unit tests).
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

// The scrambled file of these record lines, as bytes.
std::string scrambledOwnerFile(const std::vector<std::string> &lines);
// The record lines of scrambled bytes; a last "<status N>" line when the
// codec stopped on a fault, or "<no header>".
std::vector<std::string> ownerFileLines(const std::string &bytes);
// The same, of a file; {"<cannot open>"} when there is none.
std::vector<std::string> ownerDataLines(const std::string &path);

// Writes the scrambled file of key=value lines.
testing::AssertionResult writeOwnerData(const std::string &path, const std::vector<std::string> &lines);
// A value of the owner data file, read through the store.
testing::AssertionResult readOwnerData(const std::string &path, const char *key, std::string *value);
