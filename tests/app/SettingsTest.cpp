#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/AppSettings.h"
#include "app/AutoStart.h"
#include "app/ClientSettingsFile.h"
#include "app/SettingsRecord.h"
#include "platform/Files.h"

namespace orbisight {
namespace {
namespace fs = std::filesystem;

class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/orbisight-app-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SettingsRecordTest, FirstRunGetsTheDefaults) {
    TempFolder dir;
    Registry registry(dir.Path() / "registry");
    SettingsRecord record = LoadSettings(registry, "/home/u/OrbisightRecord");
    EXPECT_TRUE(registry.KeyExists(kSettingsKey)) << "a missing key is created";
    EXPECT_EQ(record.RecordFolder(), "/home/u/OrbisightRecord");
    EXPECT_EQ(record.recordMinutes, 60);
    EXPECT_EQ(record.localBigStream, 1);
    EXPECT_EQ(record.autoCheckVersion, 1);
    EXPECT_EQ(record.alarmBlink, 0);
    EXPECT_EQ(record.CountryCode(), "0086");
    EXPECT_EQ(record.CityCode(), "0755");
    EXPECT_EQ(record.startWithComputer, 0);
    EXPECT_EQ(record.autoLogin, 0);
}

TEST(SettingsRecordTest, StoredRecordRoundTripsByteForByte) {
    TempFolder dir;
    Registry registry(dir.Path() / "registry");
    SettingsRecord record = LoadSettings(registry, "/r");
    record.recordMinutes = 15;
    record.alarmBlink = 1;
    record.autoConnect = 1;
    record.SetRecordFolder("/data/cams");
    ASSERT_TRUE(StoreSettings(registry, record));
    auto raw = registry.ReadValue(kSettingsKey, kSettingsValue);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, RegistryType::kBinary);
    ASSERT_EQ(raw->data.size(), 1768u);
    EXPECT_EQ(std::memcmp(raw->data.data(), &record, 1768), 0);
    int32_t minutes;
    std::memcpy(&minutes, raw->data.data() + 4, 4);
    EXPECT_EQ(minutes, 15);
    EXPECT_STREQ(reinterpret_cast<const char*>(raw->data.data() + 72), "/data/cams");

    SettingsRecord again = LoadSettings(registry, "/other");
    EXPECT_EQ(std::memcmp(&again, &record, sizeof record), 0);
}

TEST(SettingsRecordTest, DefaultsOnlyWhenTheRecordFolderIsEmpty) {
    SettingsRecord record = EmptySettings();
    record.recordMinutes = 5;
    record.autoLogin = 1;
    ApplySettingsDefaults(record, "/d");
    EXPECT_EQ(record.recordMinutes, 60) << "an empty folder resets the defaulted fields";
    EXPECT_EQ(record.autoLogin, 1) << "fields without a default keep their value";
    record.recordMinutes = 5;
    ApplySettingsDefaults(record, "/elsewhere");
    EXPECT_EQ(record.recordMinutes, 5);
    EXPECT_EQ(record.RecordFolder(), "/d");
}

TEST(SettingsRecordTest, OverlongAndShortStoredValuesAreReadSafely) {
    TempFolder dir;
    Registry registry(dir.Path() / "registry");
    std::vector<uint8_t> big(5000, 'x');
    ASSERT_TRUE(registry.WriteValue(kSettingsKey, kSettingsValue, RegistryType::kBinary, big.data(),
                                    big.size()));
    SettingsRecord record = LoadSettings(registry, "/d");
    EXPECT_EQ(record.RecordFolder().size(), 511u) << "texts stay inside their fields";
    EXPECT_EQ(record.CountryCode().size(), 63u);

    std::vector<uint8_t> small(8, 0);
    small[4] = 30;
    ASSERT_TRUE(registry.WriteValue(kSettingsKey, kSettingsValue, RegistryType::kBinary,
                                    small.data(), small.size()));
    record = LoadSettings(registry, "/d");
    EXPECT_EQ(record.RecordFolder(), "/d");
    EXPECT_EQ(record.recordMinutes, 60);
}

TEST(ClientSettingsFileTest, RewriteReplacesBothServerKeysAndKeepsOtherLines) {
    std::string text =
        "[CameraClient]\r\n"
        "  LoginIP=10.1.2.3\r\n"
        "RegisterIP=old.example\r\n"
        "Loginport=5590\r\n"
        "[Other]\r\n"
        "ShowAlarm=1";
    bool reg = false;
    bool login = false;
    std::string out = ClientSettingsFile::RewriteServerLines(text, "127.0.0.9", &reg, &login);
    EXPECT_EQ(out,
              "[CameraClient]\r\n"
              "LoginIP=127.0.0.9\r\n"
              "RegisterIP=127.0.0.9\r\n"
              "Loginport=5590\r\n"
              "[Other]\r\n"
              "ShowAlarm=1");
    EXPECT_TRUE(reg);
    EXPECT_TRUE(login);
}

TEST(ClientSettingsFileTest, RewriteAddsMissingKeysAndReadsThemBack) {
    TempFolder dir;
    ClientSettingsFile file(dir.Path() / "CameraClient.ini");
    EXPECT_EQ(file.RegisterIp(), ClientSettingsFile::kDefaultRegisterHost);
    EXPECT_FALSE(file.ShowAlarm());
    ASSERT_TRUE(file.WriteShowAlarm(true));
    ASSERT_TRUE(file.RewriteServerAddress("cams.example.org"));
    EXPECT_EQ(file.RegisterIp(), "cams.example.org");
    EXPECT_TRUE(file.ShowAlarm());
    std::string text = ReadText(file.File());
    EXPECT_NE(text.find("LoginIP=cams.example.org"), std::string::npos);
    ASSERT_TRUE(file.RewriteServerAddress("other"));
    text = ReadText(file.File());
    EXPECT_EQ(text.find("cams.example.org"), std::string::npos);
    EXPECT_EQ(text.find("LoginIP="), text.rfind("LoginIP=")) << "no duplicate key lines";
}

// "Choose stream by pane size": on for a data folder the program makes
// (and written at once, so the next run finds it), off for an existing file
// that lacks the key; exactly "1" is on.
TEST(ClientSettingsFileTest, StreamByPaneSizeOnForANewFolderOnlyAndReadBack) {
    TempFolder dir;
    AppSettings::Places places{dir.Path() / "data", dir.Path() / "autostart", dir.Path() / "record",
                               "/opt/orbisight/bin/orbisight"};
    fs::create_directories(places.dataFolder);
    {
        AppSettings fresh(places);
        fresh.Load();
        EXPECT_TRUE(fresh.ChooseStreamByPaneSize());
    }
    fs::path ini = places.dataFolder / "CameraClient.ini";
    EXPECT_NE(ReadText(ini).find("ChooseStreamByPaneSize=1"), std::string::npos);
    {
        AppSettings again(places);
        again.Load();
        EXPECT_TRUE(again.ChooseStreamByPaneSize());
        again.SetChooseStreamByPaneSize(false);
        ASSERT_TRUE(again.SaveChooseStreamByPaneSize());
    }
    AppSettings off(places);
    off.Load();
    EXPECT_FALSE(off.ChooseStreamByPaneSize());

    // A file of an earlier version: the key is missing, "Local big stream"
    // keeps deciding, and nothing is added behind the user's back.
    {
        std::ofstream out(ini, std::ios::trunc);
        out << "[Other]\nShowAlarm=1\n";
    }
    AppSettings older(places);
    older.Load();
    EXPECT_FALSE(older.ChooseStreamByPaneSize());
    EXPECT_TRUE(older.ShowAlarm());
    EXPECT_EQ(ReadText(ini), "[Other]\nShowAlarm=1\n");

    ClientSettingsFile file(ini);
    for (const char* value : {"2", "yes", "", "01"}) {
        std::ofstream(ini, std::ios::trunc)
            << "[CameraClient]\nChooseStreamByPaneSize=" << value << "\n";
        EXPECT_EQ(file.ChooseStreamByPaneSize(), std::string(value) == "01") << value;
    }
}

TEST(AutoStartTest, OnWritesQuotedPathWithArgumentOffRemoves) {
    TempFolder dir;
    AutoStart autostart(dir.Path() / "autostart");
    ASSERT_TRUE(autostart.Apply(true, "/opt/orbi sight/orbisight"));
    std::string text = ReadText(autostart.EntryPath());
    EXPECT_NE(text.find("\nExec=\"/opt/orbi sight/orbisight\"  /OnSysStart\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("[Desktop Entry]"), std::string::npos);
    ASSERT_TRUE(autostart.Apply(false, "/opt/orbi sight/orbisight"));
    EXPECT_FALSE(fs::exists(autostart.EntryPath()));
    EXPECT_TRUE(autostart.Apply(false, "/x")) << "removing an absent entry is fine";
}

// What a desktop entry reader does with an Exec value: the string-value
// escapes first, then the quoting of the first argument, then "%%". Returns
// the program path and the rest of the command line.
std::pair<std::string, std::string> ReadExecValue(const std::string& value) {
    std::string command;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            char e = value[++i];
            command += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 's' ? ' ' : e;
        } else {
            command += value[i];
        }
    }
    std::string program;
    size_t i = 1;
    if (command.empty() || command[0] != '"') {
        return {};
    }
    for (; i < command.size() && command[i] != '"'; ++i) {
        if (command[i] == '\\' && i + 1 < command.size()) {
            ++i;
        } else if (command[i] == '%' && i + 1 < command.size() && command[i + 1] == '%') {
            ++i;
        }
        program += command[i];
    }
    return {program, i < command.size() ? command.substr(i + 1) : std::string()};
}

TEST(AutoStartTest, ReservedCharactersInThePathAreEscapedTwice) {
    // Quoted argument: '"', '`', '$', '\' behind a backslash, '%' doubled;
    // then, as a string value, every backslash doubled again.
    const std::string path = "/opt/o\"b`$c\\d%e/run";
    EXPECT_EQ(AutoStart::ExecLine(path), R"("/opt/o\\"b\\`\\$c\\\\d%%e/run"  /OnSysStart)");
    EXPECT_EQ(ReadExecValue(AutoStart::ExecLine(path)),
              (std::pair<std::string, std::string>{path, "  /OnSysStart"}));
    // A plain path is only quoted.
    EXPECT_EQ(AutoStart::ExecLine("/opt/orbisight/bin/orbisight"),
              "\"/opt/orbisight/bin/orbisight\"  /OnSysStart");
    // Line breaks and tabs cannot stand in a value as they are.
    EXPECT_EQ(AutoStart::ExecLine("/a\nb\tc"), R"("/a\nb\tc"  /OnSysStart)");
    for (const std::string& odd : {std::string("/a\nb\tc"), std::string("/x/100%%/\\\\$HOME"),
                                   std::string("/\"\"/`ls`/%f")}) {
        EXPECT_EQ(ReadExecValue(AutoStart::ExecLine(odd)).first, odd);
    }
    // The entry carries the value as it is.
    std::string text = AutoStart::EntryText(path);
    EXPECT_NE(text.find("\nExec=" + AutoStart::ExecLine(path) + "\n"), std::string::npos);
}

TEST(ClientSettingsFileTest, RendezvousServiceFromItsSectionWithDefaultsAtTheEdges) {
    TempFolder dir;
    fs::path path = dir.Path() / "CameraClient.ini";
    ClientSettingsFile file(path);
    EXPECT_EQ(file.RendezvousHost(), "127.0.0.1");
    EXPECT_EQ(file.RendezvousPort(), 5570);
    auto write = [&](const std::string& text) {
        std::ofstream out(path, std::ios::trunc);
        out << text;
    };
    write("[P2P]\nRendezvousHost=relay.example\nRendezvousPort=65535\n");
    EXPECT_EQ(file.RendezvousHost(), "relay.example");
    EXPECT_EQ(file.RendezvousPort(), 65535);
    write("[P2P]\nRendezvousHost=" + std::string(127, 'h') + "\nRendezvousPort=65536\n");
    EXPECT_EQ(file.RendezvousHost().size(), 127u);
    EXPECT_EQ(file.RendezvousPort(), 5570);
    write("[P2P]\nRendezvousHost=" + std::string(128, 'h') + "\nRendezvousPort=0\n");
    EXPECT_EQ(file.RendezvousHost(), "127.0.0.1");
    EXPECT_EQ(file.RendezvousPort(), 5570);
    write("[P2P]\nRendezvousPort=1\n");
    EXPECT_EQ(file.RendezvousPort(), 1);
}

}  // namespace
}  // namespace orbisight
