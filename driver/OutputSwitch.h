// The Select output group: which device record the driver requests name, and the feature check.
#pragma once
#include <windows.h>

#include "driver/ConfLib.h"
#include "driver/ExchangeBuffers.h"

// The two orders in which the output buttons change: a click or a default-endpoint change
// sends to S/PDIF first, the start-up sends to Speaker first.
enum class OutputTrigger { ButtonOrEvent, Startup };

// For OUTPUT_SPDIF or OUTPUT_SPEAKER: shows the choice on the buttons, switches the driver
// output and reads the format back. Any other id does nothing.
void SelectOutput(HWND dlg, ExchangeBuffers& bufs, OutputTrigger trigger, int outputId);

// WM_OUTPUT_CHANGED: lParam 0 selects S/PDIF, 1 Speaker, anything else nothing. Returns 1.
LRESULT HandleOutputChanged(HWND dlg, ExchangeBuffers& bufs, LPARAM lParam);

void SwitchDriverOutput(int outputId);
void QuerySupportFeature(DeviceRecord& record);

// Lists longer than this are treated as garbage counts and read only this far.
constexpr uint32_t kMaxDeviceRecords = 256;
constexpr size_t kFeatureReplyBytes = 2048;
constexpr size_t kMinFeatureFields = 7;
