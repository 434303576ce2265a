// Which device record the driver requests name, and the device's feature check.
#pragma once
#include <windows.h>

#include "driver/ConfLib.h"

// For OUTPUT_SPDIF or OUTPUT_SPEAKER: picks the output and secondary records from the
// library's lists into g_outputDevice and g_secondaryDevice and checks both records'
// feature lists. Returns the record that requests now name (the previous one when no
// record qualified).
DeviceRecord SwitchDriverOutput(int outputId);
void QuerySupportFeature(DeviceRecord& record);

// Lists longer than this are treated as garbage counts and read only this far.
constexpr uint32_t kMaxDeviceRecords = 256;
constexpr size_t kFeatureReplyBytes = 2048;
constexpr size_t kMinFeatureFields = 7;
