// Whether one of the maker's USB devices is plugged in, by its instance ID's vendor prefix.
#pragma once

// Compared with the first 12 characters of an upper-cased device instance ID.
constexpr char MAKER_INSTANCE_ID_PREFIX[] = "USB\\VID_5F3A";

// True when a present device of any setup class has an instance ID starting with the
// maker's prefix. An ID that cannot be read is reported in a message box and ends the scan.
bool IsDevicePresent();

// The prefix test on one instance ID; null or short IDs do not match.
bool MatchesMakerInstanceId(const char* instanceId);
