// LAN datagrams as they arrive from the network: the answer check, the
// network type and address rules, the LAN list and the search window's rows.
// The input is one datagram; it is taken as a basic answer and then, with
// its code turned to 88, as the extended answer of the same camera.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lan/LanDatagram.h"
#include "lan/LanDeviceList.h"
#include "lan/LanSearchRows.h"

using namespace orbisight;

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckRecord(const CamNetParam& r) {
    Check(r.Id().size() == lan::kDeviceIdLength);
    Check(r.Address().size() < sizeof r.address);
    Check(r.netType == CamNetParam::kWired || r.netType == CamNetParam::kWifi);
    Check(r.MacText().size() == 17);
    Check(LanSearchRows::Columns(r).size() == 6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto answer = lan::ParseAnswer(data, size);
    if (!answer) {
        return 0;
    }
    Check(size == lan::kDatagramBytes);
    const DevInfoBlock& block = answer->block;
    Check(block.code == 87 || block.code == 88);
    const std::string senders[] = {std::string(FieldText(block.wifiIp)),
                                   std::string(FieldText(block.wiredIp)), "192.168.100.100",
                                   "10.1.2.3"};
    const std::string& sender = senders[data[size / 2] % 4];

    LanDeviceList list;
    LanSearchRows rows;
    if (answer->kind == lan::AnswerKind::kExtended) {
        Check(!list.ApplyExtended(block));  // never before the basic answer
        Check(list.Size() == 0);
    }
    DevInfoBlock basic = block;
    basic.code = DevInfoBlock::kCodeBasicAnswer;
    auto added = list.ApplyBasic(basic, sender);
    Check(added.added && list.Size() == 1);
    CheckRecord(added.record);
    CamNetParam area = lan::RecordFromAnswer(basic, sender);
    CheckRecord(area);
    Check(rows.ApplyBasic(area).change == LanSearchRows::Change::kInserted);
    Check(rows.ApplyBasic(area).change == LanSearchRows::Change::kReplaced);

    DevInfoBlock extended = block;
    extended.code = DevInfoBlock::kCodeExtendedAnswer;
    auto record = list.ApplyExtended(extended);
    Check(record && record->HasExtended());
    CheckRecord(*record);
    Check(rows.ApplyExtended(*record) == 0);
    DevInfoExt ext = record->Extended();
    Check(std::memcmp(&ext, data + DevInfoExt::kOffsetInLanAnswer, sizeof ext) == 0);
    Check(list.Find(record->Id()).has_value());

    // What a client sends back stays a well-formed block.
    DevInfoBlock reply = lan::Build3gReply(basic);
    Check(reply.code == 129 && FieldText(reply.marker) == "3G");
    DevInfoBlock set = lan::BuildExtendedSet(record->extended, ext);
    Check(set.code == 128 && set.CommandName() == "VidxSetInfo");
    return 0;
}
