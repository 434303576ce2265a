// Whether one of the maker's USB devices is plugged in, by its instance ID's vendor prefix.
#pragma once

// Compared with the first 12 characters of an upper-cased device instance ID.
constexpr char MAKER_INSTANCE_ID_PREFIX[] = "USB\\VID_5F3A";
// "获取设备识别字符串失败" (the device's identification string could not be read), code page 936.
constexpr char DEVICE_ID_READ_FAILED_TEXT[] =
    "\xBB\xF1\xC8\xA1\xC9\xE8\xB1\xB8\xCA\xB6\xB1\xF0\xD7\xD6\xB7\xFB\xB4\xAE\xCA\xA7\xB0\xDC";

// True when a present device of any setup class has an instance ID starting with the
// maker's prefix. An ID that cannot be read is reported in a message box and ends the scan.
bool IsDevicePresent();

// The prefix test on one instance ID; null or short IDs do not match.
bool MatchesMakerInstanceId(const char* instanceId);
