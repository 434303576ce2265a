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

    // One channel's level as the user is told it: the scalar and the decibels the endpoint
    // reports, both read in one cycle (someone is looking, so the dB costs no second look-up).
    // Returns false when the scalar could not be read; hasDecibels is false when only the dB
    // read failed (Wine's own endpoints answer E_NOTIMPL), and then decibels is meaningless.
    struct ChannelLevel {
        float scalar = 0.0f;
        float decibels = 0.0f;
        bool hasDecibels = false;
    };
    bool TryReadChannelLevel(UINT channel, ChannelLevel* level);

    const std::wstring& SpeakerEndpointId() const { return m_speakerEndpointId; }
    const std::wstring& SpdifEndpointId() const { return m_spdifEndpointId; }

private:
    std::wstring m_speakerEndpointId;
    std::wstring m_spdifEndpointId;
};
