#include "tests/unit/ownerdata_test_files.h"

#include <algorithm>
#include <filesystem>

#include "ownerdata/record_file.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

const std::string ownerHeader = "Type=Tessera Data";
#ifdef _WIN32
const std::string lineEnd = "\r\n";
#else
const std::string lineEnd = "\n";
#endif

std::string plainFile(const std::vector<std::string> &lines)
{
    std::string bytes = ownerHeader + lineEnd;
    for (const std::string &line : lines) bytes += line + lineEnd;
    return bytes;
}

void OwnerDataFiles::SetUp()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::string("ownerdata_scratch/") + info->test_suite_name() + "." + info->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
}

void OwnerDataFiles::TearDown()
{
    failRecordAllocation(0);
    EXPECT_EQ(nullptr, openRecordFiles) << "a test left a file open";
    fs::remove_all(dir);
}

std::string OwnerDataFiles::path(const std::string &name) const
{
    return dir + "/" + name;
}

void OwnerDataFiles::writeBytes(const std::string &name, const std::string &bytes) const
{
    ASSERT_TRUE(writeFile(path(name), bytes)) << name;
}

std::string OwnerDataFiles::readBytes(const std::string &name) const
{
    return readFile(path(name));
}

std::vector<std::string> OwnerDataFiles::fileNames() const
{
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> OwnerDataFiles::loadLines(const std::string &name, int scrambled,
                                                   int *status) const
{
    std::vector<std::string> lines;
    int handle = -1;
    *status = openRecordFile(path(name).c_str(), scrambled, &handle);
    if (*status != recordOk) return lines;
    RecordFile *record = nullptr;
    EXPECT_EQ(recordOk, findRecordFile(handle, &record));
    for (int i = 0; record != nullptr && i < record->lineCount; i++)
        lines.push_back(record->lines[i]);
    EXPECT_EQ(recordOk, closeRecordFile(handle));
    return lines;
}
