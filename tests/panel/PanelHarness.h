// Runs the real panel dialog modally on the test's main thread while a script drives it
// from a second thread, as the shell, the user and the simulators would.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "panel/KestrunDlg.h"

struct PanelRunOptions {
    std::string conflibScenario;    // driver library behaviour; empty: the default device
    std::string coreAudioScenario;  // endpoints; empty: the built-in demo
    const char* linkSetting = "1";  // lrchannel_linked in CPL.ini, or nullptr for no file
    // The panel is to end during its initialisation, so the script must not run. Otherwise a
    // script that did not run fails the test.
    bool endsAtStartup = false;
};

class PanelHarness {
public:
    explicit PanelHarness(PanelRunOptions options = {});
    ~PanelHarness();

    // Starts the panel, runs script(dialog, window) on a driver thread once the panel has
    // entered its modal loop, then ends it through the tray menu's Exit. Returns DoModal's
    // result. Fails the test when the script did not run (or ran) against endsAtStartup.
    INT_PTR Run(const std::function<void(CKestrunDlg&, HWND)>& script);

    // From the script: waits until everything posted to the panel's thread so far has
    // been handled. Each wait fails the test when it times out, so that a check after it
    // never passes on a state that had not settled.
    void Flush();
    // Waits until the Core Audio simulator has delivered every change to this process's
    // sinks, then flushes what they posted.
    void SettleAudio();
    // Waits for the driver library's event thread to have called back `count` times in all.
    bool WaitForDriverCallbacks(size_t count, DWORD timeoutMs = 5000);

    // Messages the panel's thread took from its queue for the panel, in order.
    std::vector<MSG> PostedToPanel() const;
    size_t CountPosted(UINT message) const;
    // Messages sent to the panel (WH_CALLWNDPROC), in order.
    std::vector<MSG> SentToPanel() const;

    // (control ID, wParam) of every BM_SETSTATE the panel's thread handled since Run began,
    // start-up included.
    std::vector<std::pair<int, int>> ButtonStates() const;
    void ClearButtonStates() const;

    std::string ConfLibLog() const;
    void ClearConfLibLog() const;

    CKestrunDlg* dialog = nullptr;
    HWND panel = nullptr;

private:
    void RestoreIni() const;

    PanelRunOptions m_options;
    HWND m_flushWindow = nullptr;
    HANDLE m_flushed = nullptr;
    std::string m_savedIni;
    bool m_hadIni = false;
};

// Core Audio: the device's S/PDIF endpoint (default, level 0.8, two subunits), its "speaker"
// endpoint (0.6) and a "Speakers" endpoint that no default-change keyword matches.
extern const char kTwoOutputs[];
// The context the Windows mixer's changes carry (coreaudioctl's default): not the panel's.
GUID MixerContext();

// The executable's directory, with a trailing backslash.
std::string ModuleDirectory();
// Center of a control in the panel's client coordinates, as an lParam.
LPARAM ClientPointOf(HWND panel, int controlId);
bool IsPushed(HWND panel, int controlId);
