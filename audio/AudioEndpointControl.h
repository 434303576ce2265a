// The panel's Core Audio helper: finds the device's endpoints by name, classifies the default
// playback endpoint, and reads and writes its channel levels and mute.
#pragma once
#include <windows.h>

#include <string>

class CAudioEndpointControl {
public:
    // Records the IDs of the maker's active endpoints (render and capture) whose names carry a
    // Speaker or S/PDIF keyword; the last match in collection order wins.
    void ScanEndpoints();

    // OUTPUT_SPEAKER or OUTPUT_SPDIF when the default render endpoint's name is recognised (its
    // ID then replaces the matching member), OUTPUT_NONE otherwise.
    int QueryDefaultOutput();

    // The four operations below act on whatever endpoint is the default render endpoint for
    // eMultimedia at the moment of the call and keep no Core Audio object between calls.
    // Each returns 1 whatever happened. A failed read leaves *level / *mute untouched, so a
    // caller that preloads the previous value keeps it; the Try... forms say whether the read
    // worked (a one-channel endpoint fails the channel 1 read).
    int GetChannelLevel(UINT channel, float* level);
    int SetChannelLevel(UINT channel, float level);
    int GetEndpointMute(BOOL* mute);
    int SetEndpointMute(BOOL mute);

    // A level that is not a number counts as a failed read.
    bool TryGetChannelLevel(UINT channel, float* level);
    bool TryGetEndpointMute(BOOL* mute);
    // The channel's level in decibels as the endpoint reports it (GetChannelVolumeLevel): read
    // only when someone asks, since every read is a whole Core Audio cycle.
    bool TryGetChannelVolumeLevel(UINT channel, float* dB);

    const std::wstring& SpeakerEndpointId() const { return m_speakerEndpointId; }
    const std::wstring& SpdifEndpointId() const { return m_spdifEndpointId; }

private:
    std::wstring m_speakerEndpointId;
    std::wstring m_spdifEndpointId;
};
