#pragma once

#include <string>
#include <vector>

#include "sim/account/SimAccountStore.h"

namespace orbisight::sim {

// The XML bodies of the account service's replies.
// <dev-info count="N"><group id name parent/>...<dev id="..."><name>...</name>
// <type/><hversion/><sversion/><group/><tips/><url/><remark/><remark2/></dev>...
std::string DevInfoXml(const SimAccountStore& store, const std::string& owner,
                       const std::vector<SimListEntry>& entries, int* elements = nullptr);
// <dev-status count="N"><dev id="..." status="2" url="..."/>...
std::string DevStatusXml(const std::vector<SimDevice>& devices);
// <usr-info count="1"><user usrname="..."><name>nickname</name><type>1</type></user>
std::string UserInfoXml(const SimUser& user);

}  // namespace orbisight::sim
