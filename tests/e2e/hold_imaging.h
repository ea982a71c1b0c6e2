// The two events between the splash scenario and its imaging library
// (hold_imaging.cpp), named the same in both processes.
#pragma once

// Set by the library once the start-up is held, the splash made.
static const char holdingEventName[] = "QuillmarkTestStartupHeld";
// Set by the test when the start-up may go on.
static const char releaseEventName[] = "QuillmarkTestStartupRelease";
// Made by the test when the library is to fault instead of holding: a
// fault inside the setup program's own process.
static const char faultEventName[] = "QuillmarkTestStartupFault";
