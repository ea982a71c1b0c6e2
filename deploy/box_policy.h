// The boxes of the install flow, known by caption and text: how the
// unattended run answers each, and what each answer means for the log and
// the exit code in either kind of run.
#pragma once
#include <windows.h>

// The message-box hook of the unattended run: the policy's answer, with no
// window shown.
int answerByPolicy(HWND owner, const char *text, const char *caption, UINT style);
// After every box, shown or answered by policy: one log line with the box,
// the system's error text where the box reports a file, and the answer; and
// the run's exit code as the answer makes it. error is GetLastError() from
// just before the box.
void noteBoxAnswer(const char *text, const char *caption, UINT style, int answer, DWORD error);
