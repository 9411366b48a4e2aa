// Property reads and writes through the host's live connection, the function channel on 0xD1 and
// the direct gear command on 0xD5.
#include "device/EtsLifeDeviceConnection.h"
#include "device/TextFormat.h"
#include "trace/DebugTrace.h"

namespace {
std::string HexBytes(const std::uint8_t* data, std::uint32_t size)
{
    std::string text;
    text.reserve(size * 2);
    for (std::uint32_t i = 0; i < size; ++i)
        text += StrFormat("%02X", data[i]);
    return text;
}
} // namespace

bool CEtsLifeDeviceConnection::ReadProp(std::uint8_t objectIndex, std::uint8_t propertyId,
                                        std::int32_t propertyType, std::uint16_t startIndex,
                                        std::uint16_t elements, std::uint32_t size, std::uint8_t* buffer)
{
    std::string request = StrFormat("ReadProp ObjIdx=%u PropId=%u PropType=%d Index=%u Elements=%u",
                                    objectIndex, propertyId, propertyType, startIndex, elements);
    TRACE_MSG(TRACE_INFO, "%s", request.c_str());
    HRESULT hr = E_FAIL;
    if (!m_pConnection)
        m_Clock.Sleep(kNoConnectionWaitMs);
    else
        hr = OnBus([&] {
            return m_pConnection->ReadProperty(objectIndex, propertyId, propertyType, startIndex, elements,
                                               size, buffer);
        });
    if (FAILED(hr)) {
        if (m_bReportErrors) {
            TRACE_HR_MSG(TRACE_ERROR, hr, "%s", request.c_str());
            ReportConnectionError();
        } else {
            TRACE_MSG(TRACE_INFO, "%s: Error $%08X", request.c_str(), static_cast<unsigned>(hr));
        }
        return false;
    }
    TRACE_MSG(TRACE_INFO, "%s: $%s", request.c_str(), HexBytes(buffer, size).c_str());
    return true;
}

bool CEtsLifeDeviceConnection::WriteProp(std::uint8_t objectIndex, std::uint8_t propertyId,
                                         std::int32_t propertyType, std::uint16_t startIndex,
                                         std::uint16_t elements, std::uint32_t size,
                                         const std::uint8_t* buffer, bool verify)
{
    std::string request =
        StrFormat("WriteProp ObjIdx=%u PropId=%u PropType=%d Index=%u Elements=%u Data=$%s", objectIndex,
                  propertyId, propertyType, startIndex, elements, HexBytes(buffer, size).c_str());
    TRACE_MSG(TRACE_INFO, "%s", request.c_str());
    HRESULT hr = E_FAIL;
    if (!m_pConnection)
        m_Clock.Sleep(kNoConnectionWaitMs);
    else
        hr = OnBus([&] {
            return m_pConnection->WriteProperty(objectIndex, propertyId, propertyType, startIndex, elements,
                                                size, buffer, verify ? 1 : 0);
        });
    if (FAILED(hr)) {
        if (hr == ETS_E_DEVICE_DENIED)
            TRACE_MSG(TRACE_ERROR, "Device denied reading");
        else if (hr == ETS_E_VERIFY_FAILED)
            TRACE_MSG(TRACE_ERROR, "Verification failed");
        TRACE_HR_MSG(TRACE_ERROR, hr, "%s", request.c_str());
        if (m_bReportErrors)
            ReportConnectionError();
        return false;
    }
    return true;
}

bool CEtsLifeDeviceConnection::ReadDaliProp(protocol::PropertyId id, std::uint16_t startIndex,
                                            std::uint16_t elements, std::uint8_t* buffer)
{
    const auto shape = protocol::FindProperty(protocol::OT_DALI, id);
    return ReadProp(m_nDaliObject, id, shape->type, startIndex, elements, shape->elementSize * elements,
                    buffer);
}

bool CEtsLifeDeviceConnection::WriteDaliProp(protocol::PropertyId id, std::uint16_t startIndex,
                                             std::uint16_t elements, const std::uint8_t* buffer, bool verify)
{
    const auto shape = protocol::FindProperty(protocol::OT_DALI, id);
    return WriteProp(m_nDaliObject, id, shape->type, startIndex, elements, shape->elementSize * elements,
                     buffer, verify);
}

bool CEtsLifeDeviceConnection::ReadPropertyD1(std::uint8_t* reply)
{
    reply[0] = reply[1] = reply[2] = 0;
    return ReadDaliProp(protocol::PropD1, 1, 1, reply);
}

bool CEtsLifeDeviceConnection::WritePropertyD1(std::uint8_t function, std::uint8_t data1, std::uint8_t data2)
{
    TRACE_MSG(TRACE_INFO, "Function = %d <- Data1 = %d, Data2 = %d", function, data1, data2);
    const std::uint8_t data[3]{function, data1, data2};
    return WriteDaliProp(protocol::PropD1, 1, 1, data, false);
}

int CEtsLifeDeviceConnection::CallPropertyD1(std::uint8_t function, std::uint8_t data1, std::uint8_t& data2,
                                             const std::string& caption, const std::string& info,
                                             const std::string& info2)
{
    return CallPropertyD1(function, &data1, &data2, caption, info, info2);
}

int CEtsLifeDeviceConnection::CallPropertyD1(std::uint8_t function, std::uint8_t* data1, std::uint8_t* data2,
                                             const std::string& caption, const std::string& info,
                                             const std::string& info2)
{
    TRACE_ENTRY();
    std::uint8_t d1 = data1 ? *data1 : 0;
    std::uint8_t d2 = data2 ? *data2 : 0;
    TRACE_MSG(TRACE_INFO, "Function = %d <- Data1 = %d, Data2 = %d", function, d1, d2);
    const std::uint64_t start = m_Clock.NowMs();
    int trials = 0;
    int result = 1;
    bool pause = false;
    enum class Phase
    {
        WaitIdle,
        Send,
        Poll
    } phase = Phase::WaitIdle;

    CMyProgressBox box(*this);
    box->Show(ProgressKind::Polling, caption, info, info2, std::string());
    for (;;) {
        if (trials >= kMaxTrials) {
            TRACE_MSG(TRACE_ERROR, "Function = %d: Trials = %d", function, trials);
            break;
        }
        if (TimedOut(start, kCallLimitMs)) {
            TRACE_MSG(TRACE_ERROR, "Function = %d: Timeout", function);
            break;
        }
        if (std::exchange(pause, false))
            Pause();
        std::uint8_t reply[3];
        bool busyWhileWaiting = false;
        if (phase == Phase::WaitIdle) {
            if (!ReadPropertyD1(reply))
                break;
            if (reply[0] != 0) {
                pause = true;
                ++trials;
                busyWhileWaiting = true;
            } else {
                phase = Phase::Send;
                box->Step();
            }
        } else if (phase == Phase::Send) {
            if (!WritePropertyD1(function, d1, d2))
                break;
            phase = Phase::Poll;
            box->Step();
        } else {
            if (!ReadPropertyD1(reply))
                break;
            if (reply[0] == 0) {
                if (data1)
                    *data1 = d1;
                if (data2)
                    *data2 = d2;
                result = 0;
                TRACE_MSG(TRACE_INFO, "Function = %d -> Data1 = %d, Data2 = %d", function, d1, d2);
                break;
            }
            if (reply[0] == protocol::kReplyNoAnswer) {
                result = 2;
                break;
            }
            d1 = reply[1];
            d2 = reply[2];
            box->Step();
            pause = true;
        }
        if (!busyWhileWaiting)
            trials = 0;
    }
    return result;
}

bool CEtsLifeDeviceConnection::TestSelectedEvgs(const std::array<std::uint8_t, 8>& mask,
                                                std::uint8_t function, std::uint8_t data)
{
    TRACE_ENTRY();
    TRACE_MSG(TRACE_INFO, "Function = %d <- Data = %d, $ %02X %02X %02X %02X %02X %02X %02X %02X", function,
              data, mask[0], mask[1], mask[2], mask[3], mask[4], mask[5], mask[6], mask[7]);
    std::uint8_t command[10]{};
    command[0] = function;
    std::copy(mask.begin(), mask.end(), command + 1);
    command[9] = data;
    return WriteDaliProp(protocol::PropD5, 1, 1, command, true);
}
