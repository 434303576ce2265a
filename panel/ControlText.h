// What the panel's controls are called and what state they are in, in the user's words.
// The tooltips, the tray tip and assistive technology all say the same thing through here.
#pragma once
#include <windows.h>

#include <string>

// The name of the panel control with this dialog ID: "44.1 kHz", "16-bit", "S/PDIF output",
// "Left volume", "Mute", "Hide the panel"...; empty for a control without a name of its own.
std::wstring ControlName(int controlId);

// "<text> · <state>", the one way a name and its state are joined.
std::wstring WithState(const std::wstring& text, const std::wstring& state);

// A scalar level (0.0 to 1.0) in percent as the Windows mixer shows it: rounded.
int LevelPercent(float scalar);
// A level in decibels with one decimal and a true minus sign: "−8.4", "0.0".
std::wstring DecibelText(float dB);
// "Left 62 % · −8.4 dB" for the slider with this ID; without the dB part when dB is null
// (it could not be read), and "· muted" after it while muted.
std::wstring LevelText(int sliderId, float scalar, const float* dB, bool muted);
// The same without the channel, as a slider's value: "62 % · −8.4 dB", "62 % · muted".
std::wstring LevelValueText(float scalar, const float* dB, bool muted);

// A rate in Hz as the keys print it in kHz: 44100 -> "44.1", 96000 -> "96".
std::wstring RateKhzText(int rateHz);
// The tray tip's state line: "S/PDIF · 24-bit / 96 kHz · 62 %", or "... · muted"; without the
// format part while depth or rate is unknown (0).
std::wstring TrayStateText(int outputId, int bitDepth, int rateHz, float scalar, bool muted);
