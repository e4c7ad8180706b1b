// The controls of the camera settings dialog's eleven pages and how each
// is bound to its block member.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/CDeviceInfoPage.h"
#include "device/DeviceParamTables.h"

namespace orbisight {
namespace {

using params::Page;
using TextGetter = std::string_view (DevInfoBlock::*)() const;
using TextSetter = void (DevInfoBlock::*)(std::string_view);

DevInfoBlock& Basic(PageBlocks& b) {
    return b.record.basic;
}
const DevInfoBlock& Basic(const PageBlocks& b) {
    return b.record.basic;
}

auto GetText(TextGetter get) {
    return [get](const PageBlocks& b) { return std::string((Basic(b).*get)()); };
}
auto SetText(TextSetter set) {
    return [set](PageBlocks& b, const std::string& text) { (Basic(b).*set)(text); };
}

void Assign(uint8_t& member, int value) {
    member = static_cast<uint8_t>(value);
}
template <typename T>
void Assign(LittleEndian<T>& member, int value) {
    member = static_cast<T>(value);
}

// Getter and setter of an integer member of the basic block.
template <typename M>
auto GetInt(M DevInfoBlock::*member) {
    return [member](const PageBlocks& b) { return static_cast<int>(Basic(b).*member); };
}
template <typename M>
auto SetInt(M DevInfoBlock::*member) {
    return [member](PageBlocks& b, int value) { Assign(Basic(b).*member, value); };
}
template <typename M>
auto GetFlag(M DevInfoBlock::*member) {
    return [member](const PageBlocks& b) { return static_cast<int>(Basic(b).*member) != 0; };
}
template <typename M>
auto SetFlag(M DevInfoBlock::*member) {
    return [member](PageBlocks& b, bool on) { Assign(Basic(b).*member, on ? 1 : 0); };
}

template <size_t N>
std::vector<QString> Items(const std::array<std::string_view, N>& list) {
    std::vector<QString> items;
    for (std::string_view text : list) {
        items.push_back(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    }
    return items;
}
const std::vector<QString> kOffOn = {"Off", "On"};

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

void BuildLan(CDeviceInfoPage* page) {
    auto* dhcp = page->AddCheck("", "Enable DHCP", "lanDhcp", GetFlag(&DevInfoBlock::wiredDhcp),
                                SetFlag(&DevInfoBlock::wiredDhcp));
    // With DHCP the camera's addresses are its own business: not read back.
    auto address = [page, dhcp](const char* label, const char* name, TextGetter get,
                                TextSetter set) {
        page->AddLine(label, name, GetText(get),
                      [dhcp, set](PageBlocks& b, const std::string& text) {
                          if (!dhcp->isChecked()) {
                              (Basic(b).*set)(text);
                          }
                      });
    };
    address("IP:", "lanIp", &DevInfoBlock::WiredIp, &DevInfoBlock::SetWiredIp);
    address("Mask:", "lanMask", &DevInfoBlock::WiredMask, &DevInfoBlock::SetWiredMask);
    address("Gateway:", "lanGateway", &DevInfoBlock::WiredGateway, &DevInfoBlock::SetWiredGateway);
    address("DNS:", "lanDns", &DevInfoBlock::WiredDns, &DevInfoBlock::SetWiredDns);
}

void BuildWifi(CDeviceInfoPage* page, const PageHooks& hooks) {
    // A basic block that is an extended LAN answer (88) holds no Wi-Fi
    // settings: the page is neither filled nor read back then.
    auto skip = [](const PageBlocks& b) {
        return Basic(b).code == DevInfoBlock::kCodeExtendedAnswer;
    };
    auto* client = new QCheckBox("Enable WiFi Client Mode", page);
    client->setObjectName("wifiClientMode");
    page->Form()->addRow("", client);
    page->Watch(client);

    auto* ssid = new QComboBox(page);
    ssid->setObjectName("wifiSsid");
    ssid->setEditable(true);
    auto* refresh = new QPushButton("Refresh", page);
    refresh->setObjectName("wifiRefresh");
    QObject::connect(refresh, &QPushButton::clicked, page, [hooks] {
        if (hooks.refreshWifi) {
            hooks.refreshWifi();
        }
    });
    auto* ssidRow = new QHBoxLayout;
    ssidRow->addWidget(ssid, 1);
    ssidRow->addWidget(refresh);
    page->Form()->addRow("SSID:", ssidRow);
    page->Watch(ssid);

    auto* key = new QLineEdit(page);
    key->setObjectName("wifiKey");
    key->setMaxLength(sizeof(DevInfoBlock::wifiKey) - 1);
    page->Form()->addRow("PWD:", key);
    page->Watch(key);
    // Loaded from the block and written back as it was: never shown.
    auto* security = new QComboBox(page);
    security->setObjectName("wifiSecurity");
    for (auto item : Items(params::kWifiSecurity)) {
        security->addItem(item);
    }
    security->hide();
    auto* dhcp = new QCheckBox("Enable DHCP", page);
    dhcp->setObjectName("wifiDhcp");
    page->Form()->addRow("", dhcp);
    page->Watch(dhcp);

    struct Address {
        const char* label;
        const char* name;
        TextGetter get;
        TextSetter set;
    };
    static const Address kAddresses[] = {
        {"IP:", "wifiIp", &DevInfoBlock::WifiIp, &DevInfoBlock::SetWifiIp},
        {"Mask:", "wifiMask", &DevInfoBlock::WifiMask, &DevInfoBlock::SetWifiMask},
        {"Gateway:", "wifiGateway", &DevInfoBlock::WifiGateway, &DevInfoBlock::SetWifiGateway},
        {"DNS:", "wifiDns", &DevInfoBlock::WifiDns, &DevInfoBlock::SetWifiDns},
    };
    std::vector<QLineEdit*> lines;
    for (const Address& a : kAddresses) {
        auto* line = new QLineEdit(page);
        line->setObjectName(a.name);
        page->Form()->addRow(a.label, line);
        page->Watch(line);
        lines.push_back(line);
    }
    page->Bind(
        [=](const PageBlocks& b) {
            if (skip(b)) {
                return;
            }
            const DevInfoBlock& d = Basic(b);
            client->setChecked(d.wifiClientMode != 0);
            ssid->setEditText(Text(d.WifiSsid()));
            key->setText(Text(d.WifiKey()));
            security->setCurrentIndex(d.wifiSecurity);
            dhcp->setChecked(d.wifiDhcp != 0);
            // The entry is named first: a pointer-to-member call on an
            // indexed array element is mis-instrumented by GCC's bounds check.
            for (size_t i = 0; i < lines.size(); ++i) {
                const Address& address = kAddresses[i];
                lines[i]->setText(Text((d.*address.get)()));
            }
        },
        [=](PageBlocks& b, QString*) {
            if (skip(b)) {
                return true;
            }
            DevInfoBlock& d = Basic(b);
            d.wifiClientMode = client->isChecked() ? 1 : 0;
            if (!client->isChecked()) {
                return true;
            }
            d.SetWifiSsid(ssid->currentText().toStdString());
            d.SetWifiKey(key->text().toStdString());
            d.wifiDhcp = dhcp->isChecked() ? 1 : 0;
            if (security->currentIndex() >= 0) {
                d.wifiSecurity = security->currentIndex();
            }
            if (!dhcp->isChecked()) {
                for (size_t i = 0; i < lines.size(); ++i) {
                    const Address& address = kAddresses[i];
                    (d.*address.set)(lines[i]->text().toStdString());
                }
            }
            return true;
        });
}

void Build3g(CDeviceInfoPage* page) {
    // On the LAN the settings travel inside the extended answer, which is
    // there only when the camera sent one (code 88).
    auto lanWithout = [](const PageBlocks& b) {
        return b.mode == params::LinkMode::kLan &&
               b.record.lanExtended.code != DevInfoBlock::kCodeExtendedAnswer;
    };
    auto ext = [](const PageBlocks& b) {
        return b.mode == params::LinkMode::kLan ? params::ExtFromLanBlock(b.record.lanExtended)
                                                : b.ext;
    };
    using ExtGet = std::string_view (*)(const DevInfoExt&);
    using ExtSet = void (*)(DevInfoExt&, std::string_view);
    struct Field {
        const char* label;
        const char* name;
        ExtGet get;
        ExtSet set;
    };
    static const Field kFields[] = {
        {"User:", "dialUser", [](const DevInfoExt& e) { return e.DialUser(); },
         [](DevInfoExt& e, std::string_view t) { e.SetDialUser(t); }},
        {"PWD:", "dialPassword", [](const DevInfoExt& e) { return e.DialPassword(); },
         [](DevInfoExt& e, std::string_view t) { e.SetDialPassword(t); }},
        {"APN:", "apn", [](const DevInfoExt& e) { return e.Apn(); },
         [](DevInfoExt& e, std::string_view t) { e.SetApn(t); }},
        {"Dail Num:", "dialNumber", [](const DevInfoExt& e) { return e.DialNumber(); },
         [](DevInfoExt& e, std::string_view t) { e.SetDialNumber(t); }},
        {"Alarm num0:", "alarmNumber0", [](const DevInfoExt& e) { return e.AlarmNumber(0); },
         [](DevInfoExt& e, std::string_view t) { e.SetAlarmNumber(0, t); }},
        {"Alarm num1:", "alarmNumber1", [](const DevInfoExt& e) { return e.AlarmNumber(1); },
         [](DevInfoExt& e, std::string_view t) { e.SetAlarmNumber(1, t); }},
        {"Alarm num2:", "alarmNumber2", [](const DevInfoExt& e) { return e.AlarmNumber(2); },
         [](DevInfoExt& e, std::string_view t) { e.SetAlarmNumber(2, t); }},
        {"Alarm num3:", "alarmNumber3", [](const DevInfoExt& e) { return e.AlarmNumber(3); },
         [](DevInfoExt& e, std::string_view t) { e.SetAlarmNumber(3, t); }},
    };
    std::vector<QLineEdit*> lines;
    for (const Field& f : kFields) {
        auto* line = new QLineEdit(page);
        line->setObjectName(f.name);
        page->Form()->addRow(f.label, line);
        page->Watch(line);
        lines.push_back(line);
    }
    page->Bind(
        [=](const PageBlocks& b) {
            if (lanWithout(b)) {
                return;
            }
            DevInfoExt e = ext(b);
            for (size_t i = 0; i < lines.size(); ++i) {
                lines[i]->setText(Text(kFields[i].get(e)));
            }
        },
        [=](PageBlocks& b, QString* error) {
            // Without the camera's extended answer there is no block to
            // carry the settings: it would go out without the device ID,
            // which no camera takes.
            if (b.mode == params::LinkMode::kLan && b.record.lanExtended.DeviceId().empty()) {
                if (error) {
                    *error =
                        "The camera has not sent its 3G/4G settings yet, nothing was sent! "
                        "Search again and retry.";
                }
                return false;
            }
            DevInfoExt e = ext(b);
            for (size_t i = 0; i < lines.size(); ++i) {
                kFields[i].set(e, lines[i]->text().toStdString());
            }
            if (b.mode == params::LinkMode::kLan) {
                params::PutExtIntoLanBlock(b.record.lanExtended, e);
            } else {
                b.ext = e;
            }
            return true;
        });
}

// The stream 1 item a resolution code shows, or -1 (single-stream codes).
int Stream1ItemOf(int code) {
    const params::ResolutionCode* entry = params::FindResolutionCode(code);
    return entry ? entry->stream1Item : -1;
}

// The stream 2 items offered with a stream 1 item.
std::vector<int> Stream2ItemsForStream1(int stream1Item) {
    for (const auto& entry : params::ResolutionCodes()) {
        if (entry.stream1Item == stream1Item) {
            return params::Stream2ItemsFor(entry.code);
        }
    }
    return {};
}

void FillStream2List(QComboBox* list, int stream1Item, int selectItem) {
    list->clear();
    for (int item : Stream2ItemsForStream1(stream1Item)) {
        list->addItem(Text(params::kStream2Sizes[item]), item);
    }
    int index = list->findData(selectItem);
    list->setCurrentIndex(index >= 0 ? index : (list->count() > 0 ? 0 : -1));
}

QComboBox* BitRateBox(CDeviceInfoPage* page, const char* name,
                      const std::vector<int>& suggestions) {
    auto* box = new QComboBox(page);
    box->setObjectName(name);
    box->setEditable(true);
    for (int kbps : suggestions) {
        box->addItem(QString::number(kbps));
    }
    box->setValidator(new QIntValidator(0, 1000000, box));
    return box;
}

void BuildAudioVideo(CDeviceInfoPage* page) {
    QGroupBox* frames[2];
    QComboBox* sizes[2];
    QComboBox* rates[2];
    QComboBox* bitRates[2];
    for (int s = 0; s < 2; ++s) {
        frames[s] = new QGroupBox(s == 0 ? "Stream1: " : "Stream2: ", page);
        frames[s]->setObjectName(s == 0 ? "stream1Frame" : "stream2Frame");
        auto* form = new QFormLayout(frames[s]);
        sizes[s] = new QComboBox(frames[s]);
        sizes[s]->setObjectName(s == 0 ? "stream1Size" : "stream2Size");
        rates[s] = new QComboBox(frames[s]);
        rates[s]->setObjectName(s == 0 ? "stream1FrameRate" : "stream2FrameRate");
        for (auto item : Items(s == 0 ? params::kStream1FrameRates : params::kStream2FrameRates)) {
            rates[s]->addItem(item);
        }
        std::vector<int> suggestions =
            s == 0 ? std::vector<int>(params::kStream1BitRateSuggestions.begin(),
                                      params::kStream1BitRateSuggestions.end())
                   : std::vector<int>(params::kStream2BitRateSuggestions.begin(),
                                      params::kStream2BitRateSuggestions.end());
        bitRates[s] = BitRateBox(page, s == 0 ? "stream1BitRate" : "stream2BitRate", suggestions);
        auto* rateRow = new QHBoxLayout;
        rateRow->addWidget(bitRates[s], 1);
        rateRow->addWidget(new QLabel("(Kbps)", frames[s]));
        form->addRow("Video Size:", sizes[s]);
        form->addRow("FrameRate:", rates[s]);
        form->addRow("BitRate:", rateRow);
        page->Form()->addRow(frames[s]);
        page->Watch(sizes[s]);
        page->Watch(rates[s]);
        page->Watch(bitRates[s]);
    }
    for (int item = 0; item < 4; ++item) {
        sizes[0]->addItem(Text(params::kStream1Sizes[item]), item);
    }
    QObject::connect(sizes[0], &QComboBox::activated, page, [s1 = sizes[0], s2 = sizes[1]] {
        FillStream2List(s2, s1->currentData().toInt(), s2->currentData().toInt());
    });
    page->AddCheck("", "Mirror", "mirror", GetFlag(&DevInfoBlock::mirror),
                   SetFlag(&DevInfoBlock::mirror));
    page->AddCheck("", "Flip", "flip", GetFlag(&DevInfoBlock::flip), SetFlag(&DevInfoBlock::flip));
    page->AddCombo("Standard:", "mainsFrequency", Items(params::kMainsFrequency),
                   GetInt(&DevInfoBlock::mainsFrequency), SetInt(&DevInfoBlock::mainsFrequency));
    page->AddCheck("Audio:", "Enable", "audioEnabled", GetFlag(&DevInfoBlock::audioEnabled),
                   SetFlag(&DevInfoBlock::audioEnabled));
    page->AddCombo("Audio Type:", "audioType", Items(params::kAudioTypes),
                   GetInt(&DevInfoBlock::audioType), SetInt(&DevInfoBlock::audioType));

    auto titles = [frames](int code) {
        for (int s = 0; s < 2; ++s) {
            frames[s]->setTitle(QString::fromStdString(params::StreamFrameTitle(code, s + 1)));
        }
    };
    page->Bind(
        [=](const PageBlocks& b) {
            const DevInfoBlock& d = Basic(b);
            // A camera without video settings (mask 0) gets a disabled page.
            page->setEnabled(d.supportedResolutions != 0);
            int code = d.resolutionCode;
            const params::ResolutionCode* entry = params::FindResolutionCode(code);
            int item1 = Stream1ItemOf(code);
            sizes[0]->setCurrentIndex(sizes[0]->findData(item1));
            FillStream2List(sizes[1], item1, entry ? entry->stream2Item : -1);
            rates[0]->setCurrentIndex(d.stream1FrameRate < 4 ? int(d.stream1FrameRate) : -1);
            rates[1]->setCurrentIndex(d.stream2FrameRate < 4 ? int(d.stream2FrameRate) : -1);
            bitRates[0]->setEditText(QString::number(int(d.stream1BitRate)));
            bitRates[1]->setEditText(QString::number(int(d.stream2BitRate)));
            titles(code);
        },
        [=](PageBlocks& b, QString* error) {
            DevInfoBlock& d = Basic(b);
            if (sizes[0]->currentIndex() >= 0 && sizes[1]->currentIndex() >= 0) {
                // A pair without a code is not saved.
                if (auto code = params::ResolutionCodeForItems(sizes[0]->currentData().toInt(),
                                                               sizes[1]->currentData().toInt())) {
                    d.resolutionCode = *code;
                }
            }
            if (rates[0]->currentIndex() >= 0) {
                d.stream1FrameRate = static_cast<uint16_t>(rates[0]->currentIndex());
            }
            if (rates[1]->currentIndex() >= 0) {
                d.stream2FrameRate = static_cast<uint16_t>(rates[1]->currentIndex());
            }
            int code = d.resolutionCode;
            titles(code);
            params::BitRateOutcome outcomes[2];
            for (int s = 0; s < 2; ++s) {
                std::string typed = bitRates[s]->currentText().toStdString();
                outcomes[s] = params::ResolveBitRate(code, s + 1, typed);
                if (outcomes[s].refused) {
                    if (error) {
                        *error =
                            QString::fromStdString(params::BitRateRefusalText(code, s + 1, typed));
                    }
                    return false;
                }
            }
            for (int s = 0; s < 2; ++s) {
                bitRates[s]->setEditText(QString::number(outcomes[s].kbps));
            }
            d.stream1BitRate = outcomes[0].kbps;
            d.stream2BitRate = outcomes[1].kbps;
            return true;
        });
}

void BuildAlertTrigger(CDeviceInfoPage* page) {
    page->AddCombo("Alert On Off:", "alertOn", kOffOn, GetInt(&DevInfoBlock::alertOn),
                   SetInt(&DevInfoBlock::alertOn));
    page->AddCombo("Motion Detect:", "motionDetection", kOffOn,
                   GetInt(&DevInfoBlock::motionDetection), SetInt(&DevInfoBlock::motionDetection));
    page->AddCombo("Sensitivity:", "motionSensitivity", Items(params::kMotionSensitivity),
                   GetInt(&DevInfoBlock::motionSensitivity),
                   SetInt(&DevInfoBlock::motionSensitivity));
    page->AddCombo(
        "PIR/IO Input Trigger:", "inputTrigger", kOffOn,
        [](const PageBlocks& b) { return Basic(b).InputTriggerEnabled() ? 1 : 0; },
        [](PageBlocks& b, int v) { Basic(b).SetInputTriggerEnabled(v != 0); });
    page->AddCombo("PIR/IO Trigger Type:", "inputTriggerType", Items(params::kContactTypes),
                   GetInt(&DevInfoBlock::inputTriggerType),
                   SetInt(&DevInfoBlock::inputTriggerType));
    page->AddCombo(
        "Alarm Condition:", "alarmCondition", {"Individual", "Together"},
        [](const PageBlocks& b) { return Basic(b).AlarmConditionTogether() ? 1 : 0; },
        [](PageBlocks& b, int v) { Basic(b).SetAlarmConditionTogether(v != 0); });
}

void BuildAlarmRecord(CDeviceInfoPage* page, const PageHooks& hooks) {
    page->AddCombo("IO Output:", "ioOutput", kOffOn, GetInt(&DevInfoBlock::ioOutputEnabled),
                   SetInt(&DevInfoBlock::ioOutputEnabled));
    page->AddCombo("IO Out Type:", "ioOutputType", Items(params::kContactTypes),
                   GetInt(&DevInfoBlock::ioOutputType), SetInt(&DevInfoBlock::ioOutputType));
    page->AddCombo("Alarm Sound:", "alarmSound", kOffOn, GetInt(&DevInfoBlock::alarmSound),
                   SetInt(&DevInfoBlock::alarmSound));
    page->AddCombo(
        "Alarm Email:", "alarmEmail", kOffOn,
        [](const PageBlocks& b) { return Basic(b).AlarmEmailEnabled() ? 1 : 0; },
        [](PageBlocks& b, int v) { Basic(b).SetAlarmEmailEnabled(v != 0); });
    page->AddCombo("Attachment:", "emailAttachment", Items(params::kEmailAttachments),
                   GetInt(&DevInfoBlock::emailAttachment), SetInt(&DevInfoBlock::emailAttachment));
    page->AddLine("Email Address:", "emailAddress", GetText(&DevInfoBlock::AlarmEmail),
                  SetText(&DevInfoBlock::SetAlarmEmail));
    std::vector<QString> intervals;
    for (const auto& text : params::MailPictureIntervals()) {
        intervals.push_back(QString::fromStdString(text));
    }
    page->AddCombo(
        "Regular mail pictures:", "mailPictures", intervals,
        [](const PageBlocks& b) { return Basic(b).MailPictureInterval(); },
        [](PageBlocks& b, int v) { Basic(b).SetMailPictureInterval(v); });
    auto* sd = new QLabel(page);
    sd->setObjectName("sdExist");
    page->Form()->addRow("SD Exist:", sd);
    page->AddCombo("Alarm Duration:", "alarmDuration", Items(params::kAlarmDurations),
                   GetInt(&DevInfoBlock::alarmDuration), SetInt(&DevInfoBlock::alarmDuration));
    auto* alarmSd =
        page->AddCheck("Alarm Record:", "SD Card", "alarmToSd", GetFlag(&DevInfoBlock::alarmToSd),
                       SetFlag(&DevInfoBlock::alarmToSd));
    page->AddCheck("", "FTP", "alarmToFtp", GetFlag(&DevInfoBlock::alarmToFtp),
                   SetFlag(&DevInfoBlock::alarmToFtp));
    auto* schedule = new QPushButton("Settings ...", page);
    schedule->setObjectName("scheduleSettings");
    schedule->setEnabled(static_cast<bool>(hooks.editSchedule));
    QObject::connect(schedule, &QPushButton::clicked, page, [hooks] {
        if (hooks.editSchedule) {
            hooks.editSchedule();
        }
    });
    page->Form()->addRow("Schedule:", schedule);
    auto* scheduledSd = page->AddCheck("Schedule Record:", "SD Card", "scheduledToSd",
                                       GetFlag(&DevInfoBlock::scheduledToSd),
                                       SetFlag(&DevInfoBlock::scheduledToSd));
    page->AddCheck("", "FTP", "scheduledToFtp", GetFlag(&DevInfoBlock::scheduledToFtp),
                   SetFlag(&DevInfoBlock::scheduledToFtp));
    page->Bind(
        [=](const PageBlocks& b) {
            bool card = Basic(b).SdCardPresent();
            sd->setText(card ? "Yes" : "No");
            alarmSd->setEnabled(card);
            scheduledSd->setEnabled(card);
        },
        nullptr);
}

void BuildMotionZone(CDeviceInfoPage* page) {
    auto* grid = new QGridLayout;
    std::vector<QPushButton*> cells;
    for (int row = 0; row < DevInfoBlock::kMotionRows; ++row) {
        for (int column = 0; column < DevInfoBlock::kMotionColumns; ++column) {
            auto* cell = new QPushButton(page);
            cell->setCheckable(true);
            cell->setMinimumSize(48, 36);
            cell->setObjectName(QString("zone%1%2").arg(row).arg(column));
            grid->addWidget(cell, row, column);
            page->Watch(cell);
            cells.push_back(cell);
        }
    }
    page->Form()->addRow(grid);
    auto fill = [cells](const DevInfoBlock& d) {
        for (int i = 0; i < static_cast<int>(cells.size()); ++i) {
            cells[i]->setChecked(d.MotionZoneCell(i / DevInfoBlock::kMotionColumns,
                                                  i % DevInfoBlock::kMotionColumns));
        }
    };
    // "Restore" reloads the grid from the block the page was last filled from.
    auto shown = std::make_shared<DevInfoBlock>();
    page->Bind(
        [=](const PageBlocks& b) {
            *shown = Basic(b);
            fill(*shown);
        },
        [=](PageBlocks& b, QString*) {
            for (int i = 0; i < static_cast<int>(cells.size()); ++i) {
                Basic(b).SetMotionZoneCell(i / DevInfoBlock::kMotionColumns,
                                           i % DevInfoBlock::kMotionColumns, cells[i]->isChecked());
            }
            return true;
        });
    auto* buttons = new QHBoxLayout;
    auto add = [&](const char* text, const char* name, std::function<void()> action) {
        auto* button = new QPushButton(text, page);
        button->setObjectName(name);
        QObject::connect(button, &QPushButton::clicked, page, action);
        buttons->addWidget(button);
    };
    add("Select All", "zoneSelectAll", [cells] {
        for (auto* c : cells) {
            c->setChecked(true);
        }
    });
    add("Unselect All", "zoneUnselectAll", [cells] {
        for (auto* c : cells) {
            c->setChecked(false);
        }
    });
    add("Restore", "zoneRestore", [fill, shown] { fill(*shown); });
    page->Form()->addRow(buttons);
}

void BuildFtp(CDeviceInfoPage* page) {
    // The fields' room (less the terminator) bounds what can be typed, so
    // nothing is cut behind the user's back.
    page->AddLine("FTP Server:", "ftpServer", GetText(&DevInfoBlock::FtpServer),
                  SetText(&DevInfoBlock::SetFtpServer))
        ->setMaxLength(sizeof(DevInfoBlock::ftpServer) - 1);
    auto* port = page->AddLine(
        "Port:", "ftpPort",
        [](const PageBlocks& b) { return std::to_string(int(Basic(b).ftpPort)); },
        [](PageBlocks& b, const std::string& text) {
            Basic(b).ftpPort = QString::fromStdString(text).toInt();
        });
    port->setValidator(new QIntValidator(0, 65535, port));
    page->AddLine("User:", "ftpUser", GetText(&DevInfoBlock::FtpUser),
                  SetText(&DevInfoBlock::SetFtpUser))
        ->setMaxLength(sizeof(DevInfoBlock::ftpUser) - 1);
    page->AddLine("PWD:", "ftpPassword", GetText(&DevInfoBlock::FtpPassword),
                  SetText(&DevInfoBlock::SetFtpPassword))
        ->setMaxLength(sizeof(DevInfoBlock::ftpPassword) - 1);
    page->Bind(nullptr, [](PageBlocks& b, QString*) {
        Basic(b).uploadServerKind = 1;
        return true;
    });
}

// A snapshot time: a picker with "Enable"; 0 stored when not enabled.
void AddSnapshotTime(CDeviceInfoPage* page, const char* label, const char* name,
                     LeInt32 DevInfoBlock::*member) {
    auto* time = new QTimeEdit(page);
    time->setObjectName(name);
    time->setDisplayFormat("HH:mm:ss");
    auto* enable = new QCheckBox("Enable", page);
    enable->setObjectName(QString(name) + "Enable");
    auto* row = new QHBoxLayout;
    row->addWidget(time, 1);
    row->addWidget(enable);
    page->Form()->addRow(label, row);
    page->Watch(time);
    page->Watch(enable);
    page->Bind(
        [=](const PageBlocks& b) {
            int seconds = Basic(b).*member;
            enable->setChecked(seconds != 0);
            time->setTime(QTime(0, 0).addSecs(seconds % 86400));
        },
        [=](PageBlocks& b, QString*) {
            QTime t = time->time();
            Basic(b).*member =
                enable->isChecked() ? t.hour() * 3600 + t.minute() * 60 + t.second() : 0;
            return true;
        });
}

void BuildCloudStorage(CDeviceInfoPage* page) {
    page->AddCombo("Store Position:", "storePosition",
                   {"None", "SD Card", "Cloud Server", "SD Card + Cloud Server"},
                   GetInt(&DevInfoBlock::storePosition), SetInt(&DevInfoBlock::storePosition));
    page->AddCombo("Store Video Stream:", "storedStream", Items(params::kStoredStreams),
                   GetInt(&DevInfoBlock::storedStream), SetInt(&DevInfoBlock::storedStream));
    std::vector<QString> sizes;
    std::vector<int> codes;
    for (const auto& entry : params::VideoFileSizes()) {
        sizes.push_back(Text(entry.label));
        codes.push_back(entry.code);
    }
    page->AddCombo("Video File Size:", "videoFileSize", sizes, GetInt(&DevInfoBlock::videoFileSize),
                   SetInt(&DevInfoBlock::videoFileSize), codes);
    AddSnapshotTime(page, "Snapshot Time 1:", "snapshotTime1", &DevInfoBlock::snapshotTime1);
    AddSnapshotTime(page, "Snapshot Time 2:", "snapshotTime2", &DevInfoBlock::snapshotTime2);
    auto* interval = new QLineEdit(page);
    interval->setObjectName("snapshotInterval");
    interval->setValidator(new QIntValidator(0, 65535, interval));
    auto* enable = new QCheckBox("Enable", page);
    enable->setObjectName("snapshotIntervalEnable");
    auto* row = new QHBoxLayout;
    row->addWidget(interval, 1);
    row->addWidget(new QLabel("(Per Minute)", page));
    row->addWidget(enable);
    page->Form()->addRow("Snapshot Interval:", row);
    page->Watch(interval);
    page->Watch(enable);
    page->Bind(
        [=](const PageBlocks& b) {
            int minutes = Basic(b).snapshotInterval;
            enable->setChecked(minutes != 0);
            interval->setText(QString::number(minutes));
        },
        [=](PageBlocks& b, QString*) {
            Basic(b).snapshotInterval =
                static_cast<uint16_t>(enable->isChecked() ? interval->text().toInt() : 0);
            return true;
        });
}

void BuildMisc(CDeviceInfoPage* page, const PageHooks& hooks) {
    std::vector<QString> zones;
    for (std::string_view zone : params::TimeZones()) {
        zones.push_back(Text(zone));
    }
    page->AddCombo(
        "Time Zone:", "timeZone", zones,
        [](const PageBlocks& b) { return Basic(b).TimeZoneIndex(); },
        [](PageBlocks& b, int v) { Basic(b).SetTimeZoneIndex(v); });
    auto* date = new QDateEdit(page);
    date->setObjectName("date");
    date->setDisplayFormat("yyyy-MM-dd");
    auto* time = new QTimeEdit(page);
    time->setObjectName("time");
    time->setDisplayFormat("HH:mm:ss");
    page->Form()->addRow("Date:", date);
    page->Form()->addRow("Time:", time);
    page->Watch(date);
    page->Watch(time);
    page->Bind(
        [=](const PageBlocks& b) {
            const DevInfoBlock& d = Basic(b);
            date->setDate(QDate(d.year, d.Month(), d.day));
            time->setTime(QTime(d.hour, d.minute, d.second));
        },
        [=](PageBlocks& b, QString*) {
            DevInfoBlock& d = Basic(b);
            if (date->date().isValid()) {
                d.year = date->date().year();
                d.SetMonth(date->date().month());
                d.day = static_cast<uint8_t>(date->date().day());
            }
            d.hour = static_cast<uint8_t>(time->time().hour());
            d.minute = static_cast<uint8_t>(time->time().minute());
            d.second = static_cast<uint8_t>(time->time().second());
            return true;
        });
    auto* fetch = new QPushButton("Fetch", page);
    fetch->setObjectName("fetchComputerTime");
    QObject::connect(fetch, &QPushButton::clicked, page, [hooks] {
        if (hooks.fetchComputerTime) {
            hooks.fetchComputerTime();
        }
    });
    page->Form()->addRow("Computer Time:", fetch);
    page->AddCombo("Motor Type / RS485 Baudrate:", "motorType", Items(params::kMotorTypes),
                   GetInt(&DevInfoBlock::motorType), SetInt(&DevInfoBlock::motorType));
    page->AddCombo("Rtsp Status:", "rtspEnabled", kOffOn, GetInt(&DevInfoBlock::rtspEnabled),
                   SetInt(&DevInfoBlock::rtspEnabled));
    page->AddCombo("IR ligtht control:", "irControl", Items(params::kIrControl),
                   GetInt(&DevInfoBlock::irControl), SetInt(&DevInfoBlock::irControl));
}

void BuildSystemInfo(CDeviceInfoPage* page, const PageHooks& hooks) {
    // The name's length is checked in UTF-8 bytes by the dialog on OK.
    page->AddLine("Dev Name:", "deviceName", GetText(&DevInfoBlock::DeviceName), nullptr);
    auto readOnly = [page](const char* label, const char* name, TextGetter get) {
        page->AddLine(label, name, GetText(get), nullptr)->setReadOnly(true);
    };
    readOnly("Current PWD:", "currentPassword", &DevInfoBlock::DevicePassword);
    auto* newPassword = new QLineEdit(page);
    newPassword->setObjectName("newPassword");
    newPassword->setEchoMode(QLineEdit::Password);
    auto* repeat = new QLineEdit(page);
    repeat->setObjectName("repeatPassword");
    repeat->setEchoMode(QLineEdit::Password);
    page->Form()->addRow("New PWD:", newPassword);
    page->Form()->addRow("Repeat:", repeat);
    page->Watch(newPassword);
    page->Watch(repeat);
    readOnly("Dev Version:", "firmwareVersion", &DevInfoBlock::FirmwareVersion);
    readOnly("ID:", "deviceId", &DevInfoBlock::DeviceId);
    auto* buttons = new QHBoxLayout;
    auto* reboot = new QPushButton("Reboot", page);
    reboot->setObjectName("reboot");
    auto* reset = new QPushButton("Reset to defaults", page);
    reset->setObjectName("resetDefaults");
    QObject::connect(reboot, &QPushButton::clicked, page, [hooks] {
        if (hooks.restart) {
            hooks.restart(params::RestartKind::kReboot);
        }
    });
    QObject::connect(reset, &QPushButton::clicked, page, [hooks] {
        if (hooks.restart) {
            hooks.restart(params::RestartKind::kResetDefaults);
        }
    });
    buttons->addWidget(reboot);
    buttons->addWidget(reset);
    page->Form()->addRow(buttons);
}

}  // namespace

CDeviceInfoPage* BuildDeviceInfoPage(Page kind, const PageHooks& hooks, QWidget* parent) {
    auto* page = new CDeviceInfoPage(kind, parent);
    switch (kind) {
        case Page::kLan:
            BuildLan(page);
            break;
        case Page::kWifi:
            BuildWifi(page, hooks);
            break;
        case Page::k3g:
            Build3g(page);
            break;
        case Page::kAudioVideo:
            BuildAudioVideo(page);
            break;
        case Page::kAlertTrigger:
            BuildAlertTrigger(page);
            break;
        case Page::kAlarmRecord:
            BuildAlarmRecord(page, hooks);
            break;
        case Page::kMotionZone:
            BuildMotionZone(page);
            break;
        case Page::kFtp:
            BuildFtp(page);
            break;
        case Page::kCloudStorage:
            BuildCloudStorage(page);
            break;
        case Page::kMisc:
            BuildMisc(page, hooks);
            break;
        case Page::kSystemInfo:
            BuildSystemInfo(page, hooks);
            break;
    }
    return page;
}

}  // namespace orbisight
