#include "audio/AudioEndpointControl.h"

#include "audio/CoreAudioHelpers.h"
#include "audio/EndpointKeywords.h"
#include "audio/PanelEventContext.h"
#include "res/OutputIds.h"

#include <cmath>

using Microsoft::WRL::ComPtr;

void CAudioEndpointControl::ScanEndpoints()
{
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(CreateDeviceEnumerator(CLSCTX_ALL, enumerator)))
        return;
    ComPtr<IMMDeviceCollection> collection;
    if (FAILED(enumerator->EnumAudioEndpoints(eAll, DEVICE_STATE_ACTIVE,
                                              collection.GetAddressOf())) || !collection)
        return;
    UINT count = 0;
    if (FAILED(collection->GetCount(&count)))
        return;

    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (collection->Item(i, device.GetAddressOf()) != S_OK || !device)
            continue;
        std::wstring friendlyName;
        if (ReadFriendlyName(device.Get(), friendlyName) != S_OK)
            continue;
        const std::string name = ToLowerAnsiName(friendlyName.c_str());
        if (!MatchesKeywordList(name, KeywordList::Product))
            continue;
        if (MatchesKeywordList(name, KeywordList::SpeakerScan))
            ReadEndpointId(device.Get(), m_speakerEndpointId);
        if (MatchesKeywordList(name, KeywordList::SpdifScan))
            ReadEndpointId(device.Get(), m_spdifEndpointId);
    }
}

int CAudioEndpointControl::QueryDefaultOutput()
{
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(CreateDeviceEnumerator(CLSCTX_INPROC_SERVER, enumerator)))
        return OUTPUT_NONE;
    ComPtr<IMMDevice> device;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia,
                                                   device.GetAddressOf())) || !device)
        return OUTPUT_NONE;
    {
        // Only proves that the endpoint offers volume control; not used otherwise.
        ComPtr<IAudioEndpointVolume> volume;
        if (FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER,
                                    nullptr, reinterpret_cast<void**>(volume.GetAddressOf()))) ||
            !volume)
            return OUTPUT_NONE;
    }
    std::wstring friendlyName;
    if (ReadFriendlyName(device.Get(), friendlyName) != S_OK)
        return OUTPUT_NONE;
    const std::string name = ToLowerAnsiName(friendlyName.c_str());
    if (MatchesKeywordList(name, KeywordList::SpeakerDefault)) {
        ReadEndpointId(device.Get(), m_speakerEndpointId);
        return OUTPUT_SPEAKER;
    }
    if (MatchesKeywordList(name, KeywordList::SpdifDefault)) {
        ReadEndpointId(device.Get(), m_spdifEndpointId);
        return OUTPUT_SPDIF;
    }
    return OUTPUT_NONE;
}

bool CAudioEndpointControl::TryGetChannelLevel(UINT channel, float* level)
{
    if (level == nullptr)
        return false;
    ComPtr<IAudioEndpointVolume> volume;
    if (FAILED(ActivateDefaultEndpointVolume(volume)))
        return false;
    float value = 0.0f;
    if (FAILED(volume->GetChannelVolumeLevelScalar(channel, &value)) || std::isnan(value))
        return false;
    *level = value;
    return true;
}

bool CAudioEndpointControl::TryReadChannelLevel(UINT channel, ChannelLevel* level)
{
    if (level == nullptr)
        return false;
    ComPtr<IAudioEndpointVolume> volume;
    if (FAILED(ActivateDefaultEndpointVolume(volume)))
        return false;
    ChannelLevel read;
    if (FAILED(volume->GetChannelVolumeLevelScalar(channel, &read.scalar)) || std::isnan(read.scalar))
        return false;
    read.hasDecibels = SUCCEEDED(volume->GetChannelVolumeLevel(channel, &read.decibels)) && !std::isnan(read.decibels);
    *level = read;
    return true;
}

int CAudioEndpointControl::GetChannelLevel(UINT channel, float* level)
{
    TryGetChannelLevel(channel, level);
    return 1;
}

int CAudioEndpointControl::SetChannelLevel(UINT channel, float level)
{
    ComPtr<IAudioEndpointVolume> volume;
    if (SUCCEEDED(ActivateDefaultEndpointVolume(volume)))
        volume->SetChannelVolumeLevelScalar(channel, level, &g_panelEventContext);
    return 1;
}

bool CAudioEndpointControl::TryGetEndpointMute(BOOL* mute)
{
    if (mute == nullptr)
        return false;
    ComPtr<IAudioEndpointVolume> volume;
    if (FAILED(ActivateDefaultEndpointVolume(volume)))
        return false;
    BOOL value = FALSE;
    if (FAILED(volume->GetMute(&value)))
        return false;
    *mute = value;
    return true;
}

int CAudioEndpointControl::GetEndpointMute(BOOL* mute)
{
    TryGetEndpointMute(mute);
    return 1;
}

int CAudioEndpointControl::SetEndpointMute(BOOL mute)
{
    ComPtr<IAudioEndpointVolume> volume;
    if (SUCCEEDED(ActivateDefaultEndpointVolume(volume)))
        volume->SetMute(mute, &g_panelEventContext);
    return 1;
}
