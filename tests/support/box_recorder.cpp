#include "tests/support/box_recorder.h"

#include "install/message_box.h"

std::vector<BoxCall> recordedBoxes;
std::vector<BoxCall> &shownBoxes = recordedBoxes;
std::vector<FocusCall> recordedFocus;
std::function<int(const BoxCall &)> boxAnswer;
static std::vector<int> scriptedAnswers;
static size_t nextAnswer;

static int recordBox(HWND owner, const char *text, const char *caption, UINT style)
{
    recordedBoxes.push_back({owner, text ? text : "<null>", caption ? caption : "<null>", style});
    if (boxAnswer) return boxAnswer(recordedBoxes.back());
    return nextAnswer < scriptedAnswers.size() ? scriptedAnswers[nextAnswer++] : IDOK;
}

static void recordFocus(HWND dialog, int controlId)
{
    recordedFocus.push_back({dialog, controlId});
}

void recordBoxes(std::vector<int> answers)
{
    recordedBoxes.clear();
    recordedFocus.clear();
    boxAnswer = nullptr;
    scriptedAnswers = answers;
    nextAnswer = 0;
    setMessageBoxHook(recordBox);
    setFocusHook(recordFocus);
}

void stopRecording()
{
    setMessageBoxHook(NULL);
    setFocusHook(NULL);
}

std::string captionsOf(const std::vector<BoxCall> &boxes)
{
    std::string out;
    for (const BoxCall &box : boxes) out += (out.empty() ? "" : ", ") + box.caption;
    return out;
}

bool operator==(const BoxCall &a, const BoxCall &b)
{
    return a.owner == b.owner && a.text == b.text && a.caption == b.caption && a.style == b.style;
}

bool operator==(const FocusCall &a, const FocusCall &b)
{
    return a.dialog == b.dialog && a.controlId == b.controlId;
}

std::ostream &operator<<(std::ostream &out, const BoxCall &box)
{
    return out << "{owner " << (void *)box.owner << ", text \"" << box.text << "\", caption \"" << box.caption
               << "\", style 0x" << std::hex << box.style << std::dec << "}";
}

std::ostream &operator<<(std::ostream &out, const FocusCall &focus)
{
    return out << "{dialog " << (void *)focus.dialog << ", control " << focus.controlId << "}";
}
