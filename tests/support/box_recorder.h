// A recorder in place of the program's message boxes and focus changes, for
// tests that run its code in process: every box and focus change is noted,
// and each box gets a scripted answer.
#pragma once
#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct BoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

struct FocusCall {
    HWND dialog;
    int controlId;
};

// Every box and focus change since the last recordBoxes.
extern std::vector<BoxCall> recordedBoxes;
extern std::vector<FocusCall> recordedFocus;
// When set, answers each box; otherwise the answers given to recordBoxes
// come in turn, and IDOK once they run out.
extern std::function<int(const BoxCall &)> boxAnswer;

// Starts recording afresh (and forgets boxAnswer); stopRecording puts the
// platform's calls back.
void recordBoxes(std::vector<int> answers = {});
void stopRecording();

// The captions of the boxes, ", " between them.
std::string captionsOf(const std::vector<BoxCall> &boxes);

bool operator==(const BoxCall &a, const BoxCall &b);
bool operator==(const FocusCall &a, const FocusCall &b);
std::ostream &operator<<(std::ostream &out, const BoxCall &box);
std::ostream &operator<<(std::ostream &out, const FocusCall &focus);

// The names the copy engine's tests know them by.
typedef BoxCall RecordedBox;
extern std::vector<BoxCall> &shownBoxes;
