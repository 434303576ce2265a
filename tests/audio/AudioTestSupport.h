// Shared fixtures for the audio tests that run against the Core Audio simulator: a COM
// apartment like the panel's, a main window that collects what the sinks post, scenario
// loading, and clean-up of sink registrations between tests.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include <string>
#include <vector>

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The lParam values of the posted WM_OUTPUT_CHANGED messages, in posting order.
std::vector<LPARAM> OutputChanges(const std::vector<PostedMessage>& posted);
// The wParam values of the posted WM_VOLUME_REFRESH messages, in posting order.
std::vector<WPARAM> VolumeRefreshes(const std::vector<PostedMessage>& posted);

// Waits until the simulator has delivered every change made so far to this process, then
// takes every message waiting in the thread's queue and returns the panel messages among
// them. Each WM_VOLUME_REFRESH taken clears its pending mark, as the panel's handler does.
std::vector<PostedMessage> CollectPosted();

// Replaces the simulator's state; fails the current test on a parse error.
void LoadScenario(const std::string& text);

// Removes sink from every registration a test or the start-up sequence made with it: endpoint
// volume of every endpoint, every adapter subunit, endpoint notifications. Unknown
// registrations are ignored.
void UnregisterEverywhere(IUnknown* sink);

// Linking AudioTestSupport.cpp also installs a test environment in which the main thread joins
// the multithreaded apartment, as the panel's user-interface thread does, and a message-only
// window is the application's main window.
