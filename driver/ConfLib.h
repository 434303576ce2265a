// Binding of the driver configuration library osConfLib, loaded at run time.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "driver/ExchangeBuffers.h"

// The library's device record. The panel reads only the type and the output flag; the whole
// record, unchanged, names the device in every property request.
struct DeviceRecord {
    int32_t id;
    int32_t type;       // list 0: 1 or 7 Speaker, 4 S/PDIF; list 1: 2 secondary device
    int32_t reserved;
    int32_t isOutput;   // an output record is taken only when this is 1
};
static_assert(sizeof(DeviceRecord) == 16, "the library's device record is 16 bytes");

extern DeviceRecord g_outputDevice;
extern DeviceRecord g_secondaryDevice;

constexpr uint8_t kPropertyGet = 0;
constexpr uint8_t kPropertySet = 1;
// What a request returns when no library is bound: any non-zero value is a failure.
constexpr int32_t kConfLibNotBound = -1;

typedef void (*DriverCallbackFn)(void* context, void* source, uint32_t eventType, uint32_t eventCode);

typedef int32_t (*PFN_ConfLibInit)();
typedef int32_t (*PFN_CreateDeviceList)();
typedef int32_t (*PFN_GetDeviceCount)(int32_t list, uint32_t* count);
typedef int32_t (*PFN_GetDeviceById)(int32_t list, int32_t index, DeviceRecord* record);
typedef int32_t (*PFN_PropertyControl)(DeviceRecord record, const wchar_t* property, BYTE** value,
                                       BYTE** param, uint8_t direction);
typedef int32_t (*PFN_RegisterCallbackFunction)(DriverCallbackFn callback, void* context);
typedef int32_t (*PFN_ConfLibUnInit)();

// The library's path beside the executable for a given Windows version (forward slashes as
// the library's installer lays it out). moduleDir ends with a backslash.
std::string ConfLibPathFor(const std::string& moduleDir, DWORD major, DWORD minor);

// Binds the library for the running Windows version. The binding is all or nothing: a
// library lacking any of the seven entry points is released again and the call reports
// failure, so no entry point is ever called through a null pointer. Once bound, the library
// stays loaded for the life of the process; a second call just reports success.
bool LoadConfLib();
bool LoadConfLibFrom(const std::string& path);
bool IsConfLibBound();
HMODULE ConfLibModule();   // null while not bound

enum class DriverStartup { LibraryMissing, NoDevice, Ready };

// Start-up steps 1 to 5: bind, open the device lists, register the event callback and write
// the driver's defaults. LibraryMissing: nothing was called and the caller still selects the
// output (every request then fails as a failed request would). NoDevice: list 0 is empty and
// the panel's initialisation ends.
DriverStartup StartDriverLibrary(ExchangeBuffers& bufs);

// ConfLibUnInit when bound; the dialog's destructor calls it before freeing its buffers.
void ShutdownDriverLibrary();

// Called by the library, possibly on its own thread: it only posts to the panel.
void DriverEventCallback(void* context, void* source, uint32_t eventType, uint32_t eventCode);

// Thin wrappers that fail (or report nothing) while no library is bound.
int32_t DriverPropertyControl(const DeviceRecord& record, const wchar_t* property, BYTE** value,
                              BYTE** param, uint8_t direction);
uint32_t DriverDeviceCount(int32_t list);
// Zeroes the record first, so a call that writes nothing leaves a record that matches nothing.
void DriverDeviceById(int32_t list, int32_t index, DeviceRecord& record);
