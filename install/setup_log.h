// The plain-text log of a run: appended, one dated line per event. Writing
// never stops the installation; a failed write is remembered and reported in
// the exit code instead.
#pragma once

// Opens path for appending (made when missing); an empty path means a file
// in the TEMP folder named after the product and the date. 0, or -1 when it
// cannot be opened (setupLogFailed() then says 1).
int openSetupLog(const char *path);
// One line, "YYYY-MM-DD hh:mm:ss PCNAME " and the formatted text, line breaks of the
// text turned into blanks. A text longer than a line ends in "...". Nothing
// when no log is open.
void writeLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The system's text for error, without its line end, for the log and the
// boxes: 1; or "error N" where the system has none: 0.
int systemErrorText(unsigned long error, char *text, int size);
// 1 once the open or any write failed.
int setupLogFailed();
// 1 while a log is open.
int setupLogOpen();
// The full path of the log being written, or "".
const char *setupLogPath();
void closeSetupLog();

// Opens the log at path (as openSetupLog); one that cannot be opened is
// replaced by the TEMP folder's log of the day, whose line names it.
void openLogOrFallBack(const char *path);
// The exit code with the log's failure (16) added to a failure's code. A
// complete run's 0, and the codes every deployment console knows as they
// are (1618, 3010), stay: that failure is told in the TEMP folder's log instead.
int withLogFailure(int code);
