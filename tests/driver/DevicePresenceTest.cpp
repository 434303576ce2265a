// The maker's USB devices as the device-setup services report them: the prefix rule on
// its own, and whole scans of a Wine prefix whose USB enumeration keys the test changes.
#include "driver/DevicePresence.h"

#include <windows.h>
#include <setupapi.h>

#include "driver/DriverMessageBox.h"
#include "framework/UiText.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct IdCase {
    const char* id;
    bool matches;
};

TEST(DevicePresenceTest, InstanceIdPrefixRule)
{
    const IdCase cases[] = {
        {"USB\\VID_5F3A&PID_0101\\5&1A2B3C4D&0&1", true},
        {"usb\\vid_5f3a&pid_0101\\5&1a2b3c4d&0&1", true},
        {"Usb\\Vid_5f3A", true},
        {"USB\\VID_5F3A&PID_0101&MI_00\\6&2B&0&0000", true},
        {"USB\\VID_5F3AXYZ", true},
        {"USB\\VID_1234&PID_5F3A\\1", false},
        {"USB\\VID_5F3", false},
        {"USB\\VID_5F3B&PID_0101\\1", false},
        {"HID\\VID_5F3A&PID_0101\\1", false},
        {"USBSTOR\\VID_5F3A", false},
        {" USB\\VID_5F3A", false},
        {"USB/VID_5F3A&PID_0101", false},
        {"", false},
        {nullptr, false},
    };
    for (const IdCase& c : cases) {
        SCOPED_TRACE(c.id != nullptr ? c.id : "(null)");
        EXPECT_EQ(c.matches, MatchesMakerInstanceId(c.id));
    }
}

// The message in each language the panel speaks, as UTF-16: no code page stands between it
// and the box.
TEST(DevicePresenceTest, FailureTextIsTheMessageInTheUsersLanguage)
{
    const struct {
        LANGID language;
        const wchar_t* text;
    } rows[] = {
        {UI_LANG_SIMPLIFIED_CHINESE, L"\u83b7\u53d6\u8bbe\u5907\u8bc6\u522b\u5b57\u7b26\u4e32\u5931\u8d25"},
        {UI_LANG_TRADITIONAL_CHINESE, L"\u53d6\u5f97\u88dd\u7f6e\u8b58\u5225\u5b57\u4e32\u5931\u6557"},
        {UI_LANG_ENGLISH, L"Failed to get the device identification string"},
    };
    const LANGID saved = UiLanguage();
    for (const auto& row : rows) {
        SetUiLanguage(row.language);
        EXPECT_EQ(std::wstring(row.text), LoadUiText(IDS_MSG_DEVICE_ID_FAILED)) << std::hex << row.language;
    }
    SetUiLanguage(saved);
}

// Replaces one imported function of this executable for the object's life, as a failing
// system would answer: the code under test stays exactly as shipped.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement)
    {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name != 0; ++imp) {
            if (_stricmp(reinterpret_cast<char*>(base + imp->Name), dll) != 0)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
                    m_slot = &slots->u1.Function;
                    m_original = *m_slot;
                    Write(reinterpret_cast<ULONG_PTR>(replacement));
                    return;
                }
            }
        }
    }
    ~ImportPatch()
    {
        if (m_slot != nullptr)
            Write(m_original);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Applied() const { return m_slot != nullptr; }

private:
    void Write(ULONG_PTR value)
    {
        DWORD old = 0;
        ::VirtualProtect(m_slot, sizeof(*m_slot), PAGE_READWRITE, &old);
        *m_slot = value;
        ::VirtualProtect(m_slot, sizeof(*m_slot), old, &old);
    }
    ULONG_PTR* m_slot = nullptr;
    ULONG_PTR m_original = 0;
};

int g_idReads = 0;
BOOL WINAPI FailingIdRead(HDEVINFO, PSP_DEVINFO_DATA, PSTR, DWORD, PDWORD needed)
{
    ++g_idReads;
    if (needed != nullptr)
        *needed = 400;
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
}

std::vector<std::wstring> g_messages;
int RecordMessage(LPCWSTR text, UINT type)
{
    g_messages.push_back(std::wstring(text) + (type == MB_OK ? L"" : L" (not MB_OK)"));
    return IDOK;
}

TEST(DevicePresenceTest, AnUnreadableIdShowsTheMessageAndCountsAsAbsent)
{
    ASSERT_TRUE(IsDevicePresent()) << "the prefix holds the maker's device";
    g_driverMessageBox = RecordMessage;
    {
        ImportPatch patch("setupapi.dll", "SetupDiGetDeviceInstanceIdA", reinterpret_cast<void*>(FailingIdRead));
        ASSERT_TRUE(patch.Applied());
        EXPECT_FALSE(IsDevicePresent());
    }
    EXPECT_EQ(1, g_idReads) << "the scan stops at the first unreadable ID";
    // CTest runs this under C.UTF-8 (code page 1252): the English message, no code page 936 bytes.
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to get the device identification string"}, g_messages);
}

constexpr char kUsbEnum[] = "System\\CurrentControlSet\\Enum\\USB";
constexpr char kBackup[] = "Software\\KestrunShellTest\\UsbBackup";

// Moves every maker device out of the enumeration for the test and puts it back after;
// keys the test adds are removed again.
class DeviceScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HKEY usb = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsbEnum, 0, KEY_READ, &usb));
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof(name);
            if (::RegEnumKeyExA(usb, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (_strnicmp(name, "VID_5F3A", 8) == 0)
                m_moved.push_back(name);
        }
        ::RegCloseKey(usb);
        for (const std::string& device : m_moved) {
            ASSERT_TRUE(CopyTree(HKEY_LOCAL_MACHINE, std::string(kUsbEnum) + "\\" + device, HKEY_CURRENT_USER,
                                 std::string(kBackup) + "\\" + device));
            ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kUsbEnum) + "\\" + device).c_str()));
        }
    }

    void TearDown() override
    {
        HKEY usb = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsbEnum, 0, KEY_ALL_ACCESS, &usb) == ERROR_SUCCESS) {
            for (const std::string& device : m_added)
                ::RegDeleteTreeA(usb, device.c_str());
            ::RegCloseKey(usb);
        }
        for (const std::string& device : m_moved)
            EXPECT_TRUE(CopyTree(HKEY_CURRENT_USER, std::string(kBackup) + "\\" + device, HKEY_LOCAL_MACHINE,
                                 std::string(kUsbEnum) + "\\" + device));
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KestrunShellTest");
    }

    static bool CopyTree(HKEY fromRoot, const std::string& from, HKEY toRoot, const std::string& to)
    {
        HKEY source = nullptr;
        HKEY target = nullptr;
        bool ok = ::RegOpenKeyExA(fromRoot, from.c_str(), 0, KEY_READ, &source) == ERROR_SUCCESS &&
                  ::RegCreateKeyExA(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) ==
                      ERROR_SUCCESS &&
                  ::RegCopyTreeA(source, nullptr, target) == ERROR_SUCCESS;
        if (source != nullptr)
            ::RegCloseKey(source);
        if (target != nullptr)
            ::RegCloseKey(target);
        return ok;
    }

    // device: "VID_xxxx&PID_yyyy[&MI_zz]", as the key under Enum\USB.
    void AddDevice(const std::string& device, const std::string& instance)
    {
        // One level at a time: the ANSI registry calls cut full paths at 260 characters.
        HKEY usb = nullptr;
        HKEY deviceKey = nullptr;
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsbEnum, 0, KEY_ALL_ACCESS, &usb));
        m_added.push_back(device);
        const LONG deviceResult = ::RegCreateKeyExA(usb, device.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                    &deviceKey, nullptr);
        ::RegCloseKey(usb);
        ASSERT_EQ(ERROR_SUCCESS, deviceResult);
        const LONG instanceResult = ::RegCreateKeyExA(deviceKey, instance.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                      nullptr, &key, nullptr);
        ::RegCloseKey(deviceKey);
        ASSERT_EQ(ERROR_SUCCESS, instanceResult);
        const char desc[] = "Test USB Device";
        const char classGuid[] = "{4d36e96c-e325-11ce-bfc1-08002be10318}";
        ::RegSetValueExA(key, "DeviceDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>(desc), sizeof(desc));
        ::RegSetValueExA(key, "ClassGUID", 0, REG_SZ, reinterpret_cast<const BYTE*>(classGuid), sizeof(classGuid));
        ::RegCloseKey(key);
    }

    std::vector<std::string> m_moved;
    std::vector<std::string> m_added;
};

TEST_F(DeviceScanTest, NoMakerDeviceAtAll)
{
    EXPECT_FALSE(IsDevicePresent());
}

TEST_F(DeviceScanTest, AnotherVendorWithProductId5F3A)
{
    AddDevice("VID_1234&PID_5F3A", "1&2&3");
    EXPECT_FALSE(IsDevicePresent());
}

// Wine upper-cases the IDs it builds, so the lower-case rule itself is covered above.
TEST_F(DeviceScanTest, LowerCaseEnumerationKey)
{
    AddDevice("vid_5f3a&pid_0102", "abc");
    EXPECT_TRUE(IsDevicePresent());
}

TEST_F(DeviceScanTest, CompositeInterfaceEntryAlone)
{
    AddDevice("VID_5F3A&PID_0101&MI_00", "6&2b&0&0000");
    EXPECT_TRUE(IsDevicePresent());
}

TEST_F(DeviceScanTest, MakerDeviceAmongOthers)
{
    AddDevice("VID_1234&PID_5F3A", "1");
    AddDevice("VID_0000&PID_0000", "2");
    AddDevice("VID_5F3A&PID_0101", "3");
    AddDevice("VID_FFFF&PID_0001", "4");
    EXPECT_TRUE(IsDevicePresent());
}

}  // namespace
