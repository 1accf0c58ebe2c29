// Mailing through the registered programs: the MAPI mail client named in the registry (a
// recording stand-in) and the mailto handler (the recorder), with the exact message and
// command line they are given.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "crashreport/delivery/win32/send_report.h"
#include "scratch_folder.h"
#include "test_windows.h"

namespace brevant::crashreport {
namespace {

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}


// Sets a registry value for the duration of a test and puts the old one back.
class RegistryValue {
public:
    RegistryValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring* value)
        : root_(root), key_(key), name_(name ? name : L"") {
        HKEY handle;
        if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_QUERY_VALUE, &handle) == ERROR_SUCCESS) {
            wchar_t old[2048];
            DWORD bytes = sizeof(old), type = 0;
            if (RegQueryValueExW(handle, Name(), nullptr, &type, reinterpret_cast<BYTE*>(old), &bytes) ==
                    ERROR_SUCCESS &&
                type == REG_SZ) {
                old_ = std::wstring(old, bytes / sizeof(wchar_t) - (bytes >= 2 ? 1 : 0));
                hadOld_ = true;
            }
            RegCloseKey(handle);
        }
        Write(value);
    }
    ~RegistryValue() { Write(hadOld_ ? &old_ : nullptr); }
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

private:
    const wchar_t* Name() const { return name_.empty() ? nullptr : name_.c_str(); }
    void Write(const std::wstring* value) {
        HKEY handle;
        if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
            ERROR_SUCCESS)
            return;
        if (value) {
            RegSetValueExW(handle, Name(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                           static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(handle, Name());
        }
        RegCloseKey(handle);
    }
    HKEY root_;
    std::wstring key_, name_, old_;
    bool hadOld_ = false;
};

// Waits for the recorder's log line.
std::string AwaitRecord(const std::wstring& log) {
    for (int i = 0; i < 600; ++i) {
        const std::string bytes = ReadBytes(log);
        if (!bytes.empty() && bytes.back() == '\n') return bytes;
        Sleep(50);
    }
    return {};
}

TEST(MailDelivery, TheMailtoHandlerGetsTheEscapedUrlInPlaceOfPercentOne) {
    ScratchFolder folder;
    const std::wstring log = ToWide(folder.Path()) + L"\\record.log";
    SetEnvironmentVariableW(L"BREVANT_RECORD_LOG", log.c_str());
    const std::wstring command = L"\"" + StandInPath(L"recorder.exe") + L"\" /compose \"%1\"";
    RegistryValue handler(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr, &command);
    ASSERT_TRUE(MailViaMailto(u"a@x.org; Support <b@y.org>", u"bug report", u"line 1\r\nd\u00e9j\u00e0 vu."));
    const std::string record = AwaitRecord(log);
    SetEnvironmentVariableW(L"BREVANT_RECORD_LOG", nullptr);
    DeleteFileW(log.c_str());
    const std::string expected =
        "/compose \"mailto:a@x.org%2CSupport%20%3Cb@y.org%3E?subject=bug%20report&body=line%201%0D%0Ad%C3%A9j%C3%A0%20"
        "vu.\"";
    EXPECT_NE(record.find(expected + "\n"), std::string::npos) << record;
}

TEST(MailDelivery, WithoutAMailtoHandlerNothingStarts) {
    RegistryValue handler(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr, nullptr);
    EXPECT_FALSE(MailViaMailto(u"a@x.org", u"s", u"b"));
}

class MapiDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        record_ = ToWide(folder_.Path()) + L"\\mail";
        SetEnvironmentVariableW(L"BREVANT_MAIL_RECORD", record_.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"BREVANT_MAIL_RECORD", nullptr);
        SetEnvironmentVariableW(L"BREVANT_MAIL_ANSWER", nullptr);
        for (const wchar_t* name : {L"message.txt", L"attachment0", L"attachment1"})
            DeleteFileW((record_ + L"\\" + name).c_str());
        RemoveDirectoryW(record_.c_str());
    }
    std::string Message() { return ReadBytes(record_ + L"\\message.txt"); }

    ScratchFolder folder_;
    std::wstring record_;
    // Registered before mapi32 is first loaded in this process, which reads the registry then.
    std::wstring clientName_ = L"Brevant Recording Mail";
    std::wstring clientPath_ = StandInPath(L"recording_mail_client.dll");
    RegistryValue client_{HKEY_LOCAL_MACHINE, L"Software\\Clients\\Mail", nullptr, &clientName_};
    RegistryValue clientDll_{HKEY_LOCAL_MACHINE, L"Software\\Clients\\Mail\\Brevant Recording Mail", L"DLLPath",
                             &clientPath_};
};

TEST_F(MapiDelivery, TheMailClientGetsRecipientsTextsAndAttachments) {
    const std::u16string report = folder_.WriteFile(u"report copy.txt", "the report\r\n");
    const std::u16string picture = folder_.WriteFile(u"screenShot.png", std::string("\x89PNG", 4));
    const int result = MailViaMapi(u" Support <support@brevant.example> ; dev@brevant.example ", u"bug report",
                                   u"please find the bug report attached", true, nullptr,
                                   {u"bugreport.txt", u"screenshot.png"}, {report, picture});
    ASSERT_EQ(result, kSent);
    const std::string message = Message();
    EXPECT_NE(message.find("flags 0\n"), std::string::npos) << message;
    EXPECT_NE(message.find("|SMTP:support@brevant.example\n"), std::string::npos) << message;
    EXPECT_NE(message.find("to 1|Support"), std::string::npos) << message;
    EXPECT_NE(message.find("to 1|dev@brevant.example|SMTP:dev@brevant.example\n"), std::string::npos) << message;
    EXPECT_NE(message.find("subject bug report\n"), std::string::npos);
    EXPECT_NE(message.find("|bugreport.txt\n"), std::string::npos);
    EXPECT_NE(message.find("|screenshot.png\n"), std::string::npos);
    EXPECT_TRUE(message.ends_with("body\nplease find the bug report attached")) << message;
    EXPECT_EQ(ReadBytes(record_ + L"\\attachment0"), "the report\r\n");
    EXPECT_EQ(ReadBytes(record_ + L"\\attachment1"), std::string("\x89PNG", 4));
}

TEST_F(MapiDelivery, WithoutSilenceOrAddressTheComposeWindowIsAskedForAndCancellingCounts) {
    SetEnvironmentVariableW(L"BREVANT_MAIL_ANSWER", L"abort");
    EXPECT_EQ(MailViaMapi(u"dev@brevant.example", u"s", u"b", false, nullptr, {}, {}), kCancelledByUser);
    EXPECT_NE(Message().find("flags 9\n"), std::string::npos) << Message();  // MAPI_LOGON_UI | MAPI_DIALOG
    SetEnvironmentVariableW(L"BREVANT_MAIL_ANSWER", L"fail");
    EXPECT_EQ(MailViaMapi(u"", u"s", u"b", true, nullptr, {}, {}), kNotSent);
    EXPECT_NE(Message().find("flags 9\n"), std::string::npos) << "silent without an address still shows the window";
}

}  // namespace
}  // namespace brevant::crashreport
