#include "tests/support/owner_data.h"

#include <cstdio>

#include "ownerdata/codec.h"
#include "tests/support/files.h"

std::string scrambledOwnerFile(const std::vector<std::string> &lines)
{
    FILE *stream = tmpfile();
    if (!stream) return "<no temporary file>";
    CodecState state;
    initCodecState(&state);
    int status = writeHeaderLine(stream, 1, &state);
    for (const std::string &line : lines)
        if (status == recordOk) status = writeRecordLine(stream, 1, &state, line.c_str());
    std::string bytes;
    rewind(stream);
    for (int c; (c = getc(stream)) != EOF;) bytes += (char)c;
    fclose(stream);
    return status == recordOk ? bytes : "<status " + std::to_string(status) + ">";
}

static std::vector<std::string> linesOfStream(FILE *stream)
{
    std::vector<std::string> lines;
    CodecState state;
    initCodecState(&state);
    char buffer[lineBufferChars];
    int status = readHeaderLine(stream, 1, &state, buffer, lineBufferSize);
    if (status == recordOk && checkHeader(buffer) != recordOk) return {"<no header>"};
    while (status == recordOk && !feof(stream)) {
        status = readRecordLine(stream, 1, &state, buffer, lineBufferSize);
        if (status == recordOk && buffer[0]) lines.push_back(buffer);
    }
    if (status != recordOk) lines.push_back("<status " + std::to_string(status) + ">");
    return lines;
}

std::vector<std::string> ownerFileLines(const std::string &bytes)
{
    FILE *stream = tmpfile();
    if (!stream) return {"<no temporary file>"};
    fwrite(bytes.data(), 1, bytes.size(), stream);
    rewind(stream);
    std::vector<std::string> lines = linesOfStream(stream);
    fclose(stream);
    return lines;
}

std::vector<std::string> ownerDataLines(const std::string &path)
{
    FILE *stream = fopen(path.c_str(), "rb");
    if (!stream) return {"<cannot open>"};
    std::vector<std::string> lines = linesOfStream(stream);
    fclose(stream);
    return lines;
}

testing::AssertionResult writeOwnerData(const std::string &path, const std::vector<std::string> &lines)
{
    if (!writeFile(path, scrambledOwnerFile(lines))) return testing::AssertionFailure() << "cannot write " << path;
    return testing::AssertionSuccess();
}

testing::AssertionResult readOwnerData(const std::string &path, const char *key, std::string *value)
{
    int handle = 0;
    int status = openRecordFile(path.c_str(), 1, &handle);
    if (status != recordOk)
        return testing::AssertionFailure() << "the store cannot open " << path << ": status " << status;
    char text[lineBufferChars] = "";
    status = getRecordValue(handle, key, 1, text);
    closeRecordFile(handle);
    if (status != recordOk)
        return testing::AssertionFailure() << path << " has no \"" << key << "\": status " << status;
    *value = text;
    return testing::AssertionSuccess();
}
