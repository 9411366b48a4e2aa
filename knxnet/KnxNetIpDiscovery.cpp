#include "knxnet/KnxNetIpDiscovery.h"

#include <algorithm>

namespace knx {
namespace {
constexpr std::uint8_t kDibDeviceInfo = 0x01;
constexpr std::uint8_t kDibFamilies = 0x02;
constexpr std::uint8_t kDeviceInfoSize = 54;
constexpr std::size_t kNameSize = 30;

template <std::size_t N> void Copy(std::array<std::uint8_t, N>& to, ByteView from)
{
    std::copy_n(from.begin(), std::min(N, from.size()), to.begin());
}
} // namespace

Bytes SearchRequest::Encode() const
{
    Bytes body;
    AppendHpai(body, discovery);
    return EncodeFrame(ServiceType::SearchRequest, body);
}

std::optional<SearchRequest> SearchRequest::Decode(ByteView datagram)
{
    auto frame = DecodeFrame(datagram);
    if (!frame || frame->service != ServiceType::SearchRequest)
        return std::nullopt;
    ByteReader r(frame->body);
    auto hpai = ReadHpai(r);
    if (!hpai || !r.Done())
        return std::nullopt;
    return SearchRequest{*hpai};
}

bool SearchResponse::SupportsTunnelling() const
{
    return std::any_of(families.begin(), families.end(), [](auto f) { return f.first == kFamilyTunnelling; });
}

Bytes SearchResponse::Encode() const
{
    Bytes body;
    AppendHpai(body, control);
    body.push_back(kDeviceInfoSize);
    body.push_back(kDibDeviceInfo);
    body.push_back(medium);
    body.push_back(deviceStatus);
    AppendU16(body, address.raw);
    AppendU16(body, projectInstallation);
    Append(body, serial);
    Append(body, multicast);
    Append(body, mac);
    std::string text = name.substr(0, kNameSize);
    body.insert(body.end(), text.begin(), text.end());
    body.insert(body.end(), kNameSize - text.size(), 0);
    body.push_back(static_cast<std::uint8_t>(2 + 2 * families.size()));
    body.push_back(kDibFamilies);
    for (auto [family, version] : families) {
        body.push_back(family);
        body.push_back(version);
    }
    return EncodeFrame(ServiceType::SearchResponse, body);
}

std::optional<SearchResponse> SearchResponse::Decode(ByteView datagram)
{
    auto frame = DecodeFrame(datagram);
    if (!frame || frame->service != ServiceType::SearchResponse)
        return std::nullopt;
    ByteReader r(frame->body);
    SearchResponse s;
    auto hpai = ReadHpai(r);
    if (!hpai)
        return std::nullopt;
    s.control = *hpai;
    s.families.clear();
    bool haveInfo = false;
    // The description blocks in any order; unknown ones are skipped.
    while (r.Remaining() >= 2) {
        std::uint8_t size = r.U8();
        std::uint8_t type = r.U8();
        if (size < 2)
            return std::nullopt;
        ByteReader dib(r.Take(size - 2u));
        if (!r.Ok())
            return std::nullopt;
        if (type == kDibDeviceInfo && size == kDeviceInfoSize) {
            s.medium = dib.U8();
            s.deviceStatus = dib.U8();
            s.address.raw = dib.U16();
            s.projectInstallation = dib.U16();
            Copy(s.serial, dib.Take(6));
            Copy(s.multicast, dib.Take(4));
            Copy(s.mac, dib.Take(6));
            ByteView text = dib.Take(kNameSize);
            s.name.assign(text.begin(), std::find(text.begin(), text.end(), 0));
            haveInfo = dib.Ok();
        } else if (type == kDibFamilies) {
            while (dib.Remaining() >= 2) {
                std::uint8_t family = dib.U8();
                s.families.emplace_back(family, dib.U8());
            }
        }
    }
    if (!haveInfo || r.Remaining() != 0)
        return std::nullopt;
    return s;
}

} // namespace knx
