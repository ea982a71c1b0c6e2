// The dialog's answers from and to an answers file, and from the switches.
// The file is read here whole and checked line by line before any of its
// values is used: a file that is not exactly an answers file ends the run.
#include "deploy/answers.h"

#include <windows.h>

#include <cstring>

#include "deploy/setup_run.h"
#include "install/install_state.h"
#include "install/paths.h"
#include "install/setup_log.h"
#include "install/user_dialog.h"
#include "ownerdata/characters.h"
#include "ownerdata/codec.h"
#include "transaction/data_folder.h"
#include "uninstall/install_record.h"
#include "uninstall/registration.h"

static const char section[] = "Answers";

enum {
    fileLimit = 64 * 1024,               // far more than five values and their comments
    ownerDataLineChars = lineBufferSize - 2,  // "key=value" as the owner data file reads it back
    problemSize = 2 * textSize,
};

enum AnswerKey { nameKey, deptKey, orgKey, dirKey, samplesKey, answerKeyCount };

static const char *const answerKeys[answerKeyCount] = {"Name", "Dept", "Org", "Dir", "Samples"};

struct Answers {
    char values[answerKeyCount][textSize];
    int given[answerKeyCount];
};

static char fileBytes[fileLimit + 1];  // the answers file being checked
static wchar_t wideText[fileLimit];    // a file with a byte-order mark, as UTF-16
static char converted[fileLimit + 1];  // and again in the machine's code page

// The profile calls and the messages want a full path, whatever the
// current directory is later.
static int fullPathOf(const char *path, char *full, int size)
{
    DWORD length = GetFullPathNameA(path, size, full, NULL);
    return length == 0 || length >= (DWORD)size ? -1 : 0;
}

/* Reads the whole regular file at file into fileBytes, NUL-terminated: its
 * length, or -1 with problem saying why it is no file to read. */
static long readWholeFile(const char *file, char *problem, int size)
{
    char reason[textSize];
    DWORD attributes = GetFileAttributesA(file);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        formatText(problem, size, "the answers file %s cannot be found", file);
        return -1;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        formatText(problem, size, "the answers file %s is a folder, not a file", file);
        return -1;
    }
    HANDLE handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        systemErrorText(GetLastError(), reason, sizeof reason);
        formatText(problem, size, "the answers file %s cannot be read: %s", file, reason);
        return -1;
    }
    DWORD length = GetFileSize(handle, NULL), got = 0;
    int read = GetFileType(handle) == FILE_TYPE_DISK && length != INVALID_FILE_SIZE && length <= fileLimit &&
               ReadFile(handle, fileBytes, length, &got, NULL) && got == length;
    DWORD error = GetLastError();
    CloseHandle(handle);
    if (read) {
        fileBytes[length] = '\0';
        return (long)length;
    }
    if (length != INVALID_FILE_SIZE && length > fileLimit) {
        formatText(problem, size, "the answers file %s is larger than 64 KB: no answers file", file);
        return -1;
    }
    copyText(reason, sizeof reason, "it is no regular file");
    if (error != 0) systemErrorText(error, reason, sizeof reason);
    formatText(problem, size, "the answers file %s cannot be read: %s", file, reason);
    return -1;
}

enum TextForm { codePageText, utf8Text, utf16LittleText, utf16BigText };

// The form a byte-order mark names, and the mark's length in *markLength.
static int textFormOf(const unsigned char *bytes, long length, int *markLength)
{
    *markLength = 0;
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) *markLength = 3;
    else if (length >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
        *markLength = 2;
    if (*markLength == 0) return codePageText;
    return *markLength == 3 ? utf8Text : bytes[0] == 0xFF ? utf16LittleText : utf16BigText;
}

/* The file's text after its byte-order mark into wideText: its length in
 * characters, or -1 when the bytes are not the form the mark names. */
static long wideFromMarked(int form, const unsigned char *text, long length)
{
    if (form == utf8Text && length == 0) return 0;
    if (form == utf8Text) {
        int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, (const char *)text, (int)length, wideText,
                                        fileLimit);
        // Windows 95/98/Me take no flag with UTF-8.
        if (count == 0 && GetLastError() == ERROR_INVALID_FLAGS)
            count = MultiByteToWideChar(CP_UTF8, 0, (const char *)text, (int)length, wideText, fileLimit);
        return count > 0 ? count : -1;
    }
    if (length % 2 != 0) return -1;
    int high = form == utf16BigText ? 0 : 1;
    for (long i = 0; i < length / 2; i++)
        wideText[i] = (wchar_t)(text[2 * i + high] << 8 | text[2 * i + 1 - high]);
    return length / 2;
}

/*
 * An answers file as Windows tools write it, UTF-16 with its byte-order
 * mark (PowerShell's Out-File) or UTF-8 with it (Notepad), in the machine's
 * code page in fileBytes, line by line: its new length, or -1 with problem
 * naming the line whose character that code page cannot hold. Without a
 * mark the file is in that code page already.
 */
static long toCodePage(long length, char *problem, int size)
{
    static const char *const formNames[] = {"", "UTF-8", "UTF-16 LE", "UTF-16 BE"};
    int mark;
    int form = textFormOf((const unsigned char *)fileBytes, length, &mark);
    if (form == codePageText) return length;
    long count = wideFromMarked(form, (const unsigned char *)fileBytes + mark, length - mark);
    if (count < 0) {
        formatText(problem, size, "it is not %s throughout, as its byte-order mark says", formNames[form]);
        return -1;
    }
    long written = 0;
    // A UTF-8 code page holds every character, and takes neither the flag
    // nor the question.
    int anyCharacter = GetACP() == CP_UTF8;
    for (long start = 0, line = 1; start < count; line++) {
        long end = start;
        while (end < count && wideText[end] != L'\n') end++;
        if (end < count) end++;
        BOOL lost = FALSE;
        int got = WideCharToMultiByte(CP_ACP, anyCharacter ? 0 : WC_NO_BEST_FIT_CHARS, wideText + start,
                                      (int)(end - start), converted + written, (int)(fileLimit - written), NULL,
                                      anyCharacter ? NULL : &lost);
        if (lost) {
            formatText(problem, size, "line %ld holds a character that code page %u cannot hold", line, GetACP());
            return -1;
        }
        if (got == 0) {
            copyText(problem, size, "it is larger than 64 KB in this code page: no answers file");
            return -1;
        }
        written += got;
        start = end;
    }
    memcpy(fileBytes, converted, (size_t)written);
    fileBytes[written] = '\0';
    writeLog("Answers file in %s, read in code page %u", formNames[form], GetACP());
    return written;
}

// The text between blanks and tabs at either end, in place.
static char *trimmed(char *text)
{
    while (*text == ' ' || *text == '\t') text++;
    size_t length = strlen(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) text[--length] = '\0';
    return text;
}

static int answerKeyOf(const char *name)
{
    for (int k = 0; k < answerKeyCount; k++)
        if (equalsIgnoringCase(name, answerKeys[k])) return k;
    return -1;
}

/* One key=value line of the [Answers] section into answers: 0, or -1 with
 * problem saying what is wrong with it. A value in double quotes keeps its
 * blanks, as the profile calls read it. */
static int takeAnswerLine(char *line, const char *equals, int number, Answers *answers, char *problem, int size)
{
    char *value = trimmed(line + (equals - line) + 1);
    line[equals - line] = '\0';
    const char *name = trimmed(line);
    int key = answerKeyOf(name);
    // Another tool's key (or a note) is allowed beside ours, and named.
    if (key < 0) {
        writeLog("Answers: line %d, key \"%.40s\" is none of Name, Dept, Org, Dir, Samples; left alone", number, name);
        return 0;
    }
    if (answers->given[key]) {
        formatText(problem, size, "line %d: %s is given twice", number, answerKeys[key]);
        return -1;
    }
    size_t length = strlen(value);
    if (length >= 2 && value[0] == '"' && value[length - 1] == '"') {
        value[length - 1] = '\0';
        value++;
    }
    if (copyText(answers->values[key], textSize, value) != 0) {
        formatText(problem, size, "line %d: the value of %s is longer than 255 characters", number, answerKeys[key]);
        return -1;
    }
    if (key == samplesKey && strcmp(value, "0") != 0 && strcmp(value, "1") != 0) {
        formatText(problem, size, "line %d: Samples is neither 0 nor 1", number);
        return -1;
    }
    answers->given[key] = 1;
    return 0;
}

/* One line of the file, without its line end: a comment (;), a section, or
 * key=value in a section; keys of other sections are left to their owners.
 * 0, or -1 with problem saying what the format does not allow. */
static int takeLine(char *line, int number, int *inAnswers, int *sections, Answers *answers, char *problem, int size)
{
    for (const char *c = line; *c != '\0'; c = nextCharacter(c)) {
        if ((unsigned char)*c < 0x20 || *c == 0x7F) {
            formatText(problem, size, "line %d holds a control character: no text", number);
            return -1;
        }
    }
    char *text = trimmed(line);
    if (text[0] == '\0' || text[0] == ';') return 0;
    const char *last = lastCharacter(text);
    if (text[0] == '[') {
        if (*last != ']') {
            formatText(problem, size, "line %d: a section name without its closing ]", number);
            return -1;
        }
        text[last - text] = '\0';
        *inAnswers = equalsIgnoringCase(trimmed(text + 1), section);
        if (*inAnswers && (*sections & 2)) {
            formatText(problem, size, "line %d: a second [Answers] section", number);
            return -1;
        }
        *sections |= *inAnswers ? 3 : 1;
        return 0;
    }
    const char *equals = text;
    while (*equals != '\0' && *equals != '=') equals = nextCharacter(equals);
    if (*equals != '=' || equals == text) {
        formatText(problem, size, "line %d is neither a section, a key=value line nor a comment", number);
        return -1;
    }
    if (*sections == 0) {
        formatText(problem, size, "line %d: a key before any section", number);
        return -1;
    }
    return *inAnswers ? takeAnswerLine(text, equals, number, answers, problem, size) : 0;
}

/* Checks every line of the file's bytes and gathers the answers: 0, or -1
 * with problem naming the line. The bytes are cut into lines in place. */
static int parseAnswers(char *bytes, long length, Answers *answers, char *problem, int size)
{
    if ((long)strlen(bytes) != length) {
        copyText(problem, size, "it holds a NUL byte: it is no text file");
        return -1;
    }
    int inAnswers = 0, sections = 0, number = 0;
    for (char *line = bytes; *line != '\0' || line == bytes;) {
        char *end = strchr(line, '\n');
        if (end) *end = '\0';
        size_t lineLength = strlen(line);
        if (lineLength > 0 && line[lineLength - 1] == '\r') line[lineLength - 1] = '\0';
        if (takeLine(line, ++number, &inAnswers, &sections, answers, problem, size) != 0) return -1;
        if (!end) break;
        line = end + 1;
    }
    if (!(sections & 2)) {
        copyText(problem, size, "it has no [Answers] section");
        return -1;
    }
    return 0;
}

// The longest value the owner data file keeps whole under key.
static size_t ownerDataRoom(const char *key)
{
    return ownerDataLineChars - strlen(key) - 1;
}

/* 0 when the value fits the owner data file under key; a longer one would
 * come back cut, so it is refused with problem naming where it came from. */
static int fitsOwnerData(const char *key, const char *value, const char *from, char *problem, int size)
{
    size_t room = ownerDataRoom(key);
    if (strlen(value) <= room) return 0;
    formatText(problem, size, "%s is longer than the %u characters the owner data file keeps", from, (unsigned)room);
    return -1;
}

int readAnswersFile(const char *path, int *samplesGiven, char *problem, int size)
{
    static const char *const ownerDataKeys[] = {"User", "Dept", "Company"};
    char file[textSize], reason[problemSize], from[problemSize];
    Answers answers = {};
    if (fullPathOf(path, file, sizeof file) != 0) {
        formatText(problem, size, "the answers file %s cannot be found", path);
        return -1;
    }
    long length = readWholeFile(file, problem, size);
    if (length < 0) return -1;
    if ((length = toCodePage(length, reason, sizeof reason)) < 0 ||
        parseAnswers(fileBytes, length, &answers, reason, sizeof reason) != 0) {
        formatText(problem, size, "the answers file %s: %s", file, reason);
        return -1;
    }
    for (int k = nameKey; k <= orgKey; k++) {
        formatText(from, sizeof from, "%s in %s", answerKeys[k], file);
        if (answers.given[k] && fitsOwnerData(ownerDataKeys[k], answers.values[k], from, problem, size) != 0)
            return -1;
    }
    char *const fields[] = {installState.userName, installState.department, installState.organisation,
                            installState.installDir};
    for (int k = nameKey; k <= dirKey; k++)
        if (answers.given[k]) copyText(fields[k], textSize, answers.values[k]);
    if (answers.given[samplesKey]) {
        installState.installSamples = answers.values[samplesKey][0] - '0';
        *samplesGiven = 1;
    }
    writeLog("Answers read from %s", file);
    return 0;
}

static int applySwitches(const CommandLine *line, char *problem, int size)
{
    if ((line->nameGiven && fitsOwnerData("User", line->userName, "/NAME=", problem, size) != 0) ||
        (line->departmentGiven && fitsOwnerData("Dept", line->department, "/DEPT=", problem, size) != 0) ||
        (line->organisationGiven && fitsOwnerData("Company", line->organisation, "/ORG=", problem, size) != 0))
        return -1;
    if (line->nameGiven) copyText(installState.userName, textSize, line->userName);
    if (line->departmentGiven) copyText(installState.department, textSize, line->department);
    if (line->organisationGiven) copyText(installState.organisation, textSize, line->organisation);
    if (line->installDirGiven) copyText(installState.installDir, textSize, line->installDir);
    if (line->samplesGiven) installState.installSamples = line->installSamples;
    return 0;
}

/* The same folder, whatever the form each was written in (a trailing
 * backslash, short names, letter case). */
static int sameFolder(const char *a, const char *b)
{
    char longA[textSize], longB[textSize];
    canonicalizeDir(a, longA, sizeof longA);
    canonicalizeDir(b, longB, sizeof longB);
    return longA[0] != '\0' && equalsIgnoringCase(longA, longB);
}

/* The samples choice that the completed installation in dir kept in its
 * registration: 1 or 0, or -1 when there is none (none registered there, or
 * its record is gone with it). */
static int keptSamplesChoice(const char *dir)
{
    static const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    char location[textSize], record[textSize], data[textSize];
    // The record lies in the product's data folder (in the install folder before).
    int recorded = productDataFolder(data, sizeof data) == 0 && pathInDir(data, recordFileName, record, sizeof record) == 0 &&
                   GetFileAttributesA(record) != INVALID_FILE_ATTRIBUTES;
    for (HKEY root : roots) {
        if (!registeredLocation(root, location, sizeof location) || !sameFolder(location, dir)) continue;
        if (!recorded && (pathInDir(location, recordFileName, record, sizeof record) != 0 ||
                          GetFileAttributesA(record) == INVALID_FILE_ATTRIBUTES))
            continue;
        HKEY key;
        DWORD value = 0, length = sizeof value, type = 0;
        if (RegOpenKeyExA(root, uninstallKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
        LONG read = RegQueryValueExA(key, samplesValueName, NULL, &type, (BYTE *)&value, &length);
        RegCloseKey(key);
        if (read == ERROR_SUCCESS && type == REG_DWORD && length == sizeof value) return value ? 1 : 0;
    }
    return -1;
}

/* Over the prefill: the answers file, the switches, and where neither
 * chooses the samples, the choice the installation in that directory kept. */
static int layStartValues(char *problem, int size)
{
    const CommandLine *line = &setupRun.commandLine;
    int samplesGiven = line->samplesGiven;
    if (line->answersPath[0] != '\0' &&
        readAnswersFile(line->answersPath, &samplesGiven, problem, size) != 0)
        return -1;
    if (applySwitches(line, problem, size) != 0) return -1;
    int kept = samplesGiven ? -1 : keptSamplesChoice(installState.installDir);
    if (kept >= 0) {
        installState.installSamples = kept;
        writeLog("Samples: %d, as the installation in %s chose", kept, installState.installDir);
    }
    return 0;
}

int loadStartValues(char *problem, int size)
{
    loadDialogValues();
    return layStartValues(problem, size);
}

void layCheckedStartValues()
{
    // Checked once at the start: nothing is left to report here.
    char problem[problemSize];
    layStartValues(problem, sizeof problem);
}

// Quoted, so that blanks at either end come back as they were written.
static int writeAnswer(const char *file, const char *key, const char *value)
{
    char quoted[textSize + 2];
    if (formatText(quoted, sizeof quoted, "\"%s\"", value) != 0) return -1;
    return WritePrivateProfileStringA(section, key, quoted, file) ? 0 : -1;
}

int writeAnswersFile(const char *path)
{
    char file[textSize];
    if (fullPathOf(path, file, sizeof file) != 0) return -1;
    int status = writeAnswer(file, "Name", installState.userName) | writeAnswer(file, "Dept", installState.department) |
                 writeAnswer(file, "Org", installState.organisation) | writeAnswer(file, "Dir", installState.installDir);
    if (!WritePrivateProfileStringA(section, "Samples", installState.installSamples ? "1" : "0", file)) status = -1;
    // Windows 95/98/Me keep the last profile in memory until it is flushed.
    WritePrivateProfileStringA(NULL, NULL, NULL, file);
    return status;
}

void saveAnswersIfAsked()
{
    const char *path = setupRun.commandLine.saveAnswersPath;
    if (path[0] == '\0') return;
    if (writeAnswersFile(path) == 0) {
        writeLog("Answers saved to %s", path);
        return;
    }
    // The installation goes on, whole; the file missing is reported in the exit code.
    setupRun.answersUnsaved = 1;
    writeLog("Problem: the answers file %s could not be written; passed over", path);
}
