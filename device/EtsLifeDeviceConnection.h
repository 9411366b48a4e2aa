// The plug-in's door to the real gateway: verifies the host's live connection, reads and writes the
// gateway's properties, runs the function protocol and the commissioning procedures, reports failures.
#pragma once

#include "hostapi/EtsServices.h"
#include "model/EtsDbManagement.h"
#include "model/ProgressBox.h"
#include "platform/Clock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Outcome of a verification; the values are fixed because callers compare them.
enum EDeviceConnectionState : int
{
    DeviceConnectionOk = 0,
    NoConnection = 1,
    WrongDevice = 2,
    DaliNotUpToDate = 3,
    DownloadNecessary = 4,
    WrongApplicationVersion = 5,
};

class CEtsLifeDeviceConnection
{
public:
    // Gear number -> random address.
    using NumberList = std::map<int, std::int32_t>;
    // Gear number -> device type found.
    using TypeList = std::map<int, std::uint8_t>;
    // Gear number -> (group mask, bit g-1 = group g; the gear has a random address).
    using GroupList = std::map<int, std::pair<std::uint32_t, bool>>;
    // Scene channel 1..96 -> lightness, and -> display name.
    using ChannelValues = std::map<int, std::uint8_t>;
    using ChannelNames = std::map<int, std::string>;

    // Interface objects and properties the plug-in uses.
    static constexpr std::uint16_t kObjectTypeApplication = 3;
    static constexpr std::uint16_t kObjectTypeDali = 50001;
    static constexpr std::uint8_t kPidObjectType = 1;
    static constexpr std::uint8_t kPidRunState = 6;
    static constexpr std::uint8_t kPidApplicationInfo = 13;
    static constexpr std::uint8_t kPropD1 = 0xD1;
    static constexpr std::uint8_t kPropD2 = 0xD2;
    static constexpr std::uint8_t kPropD3 = 0xD3;
    static constexpr std::uint8_t kPropD4 = 0xD4;
    static constexpr std::uint8_t kPropD5 = 0xD5;
    static constexpr std::uint8_t kPropD6 = 0xD6;
    static constexpr std::uint8_t kNoObject = 0xFF;
    // Reply byte 0 of the function channel: the addressed DALI gear did not answer.
    static constexpr std::uint8_t kReplyNoAnswer = 100;

    static constexpr std::uint32_t kPauseMs = 1000;
    static constexpr int kMaxTrials = 5;
    static constexpr std::uint32_t kNoConnectionWaitMs = 10'000;
    static constexpr std::uint64_t kLongLimitMs = 300'000;
    static constexpr std::uint64_t kSceneLimitMs = 60'000;
    static constexpr std::uint64_t kCallLimitMs = 40'000;

    // The connection's box while it exists: created by the factory, registered in the connection,
    // closed and unregistered when it goes.
    class CMyProgressBox
    {
    public:
        explicit CMyProgressBox(CEtsLifeDeviceConnection& connection);
        ~CMyProgressBox();
        CMyProgressBox(const CMyProgressBox&) = delete;
        CMyProgressBox& operator=(const CMyProgressBox&) = delete;
        IProgressBox* operator->() { return m_pBox.get(); }
        IProgressBox& operator*() { return *m_pBox; }

    private:
        CEtsLifeDeviceConnection& m_Connection;
        std::unique_ptr<IProgressBox> m_pBox;
        CMyProgressBox* m_pPrevious;
    };

    // hostWindow (may be null: no connection can be obtained), prompt (null: the model's) and boxes
    // (null: procedures run without a visible box) are kept, not owned.
    CEtsLifeDeviceConnection(CEtsDbManagement& model, IEtsDevice* device, IEtsHostWindow* hostWindow,
                             Clock& clock, IUserPrompt* prompt = nullptr,
                             IProgressBoxFactory* boxes = nullptr);
    ~CEtsLifeDeviceConnection();
    CEtsLifeDeviceConnection(const CEtsLifeDeviceConnection&) = delete;
    CEtsLifeDeviceConnection& operator=(const CEtsLifeDeviceConnection&) = delete;

    // Verification.
    EDeviceConnectionState CreateLifeDeviceConnection(bool checkProjectId);
    bool GetDeviceInfosFromEtsDb(std::uint16_t& maskVersion, std::int32_t& manufacturer,
                                 std::uint16_t& application, std::uint8_t& version);
    std::string GetManufacturerName(std::int32_t manufacturer);
    std::string GetDeviceInfoString(std::int32_t manufacturer, std::uint16_t application,
                                    std::uint8_t version);
    bool ReadGatewayProjectId(std::uint16_t& id1, std::uint16_t& id2, std::uint16_t& id3);
    const std::string& GetLastMessage() const { return m_strLastMessage; }

    // Property access and the function channel.
    bool ReadProp(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                  std::uint16_t startIndex, std::uint16_t elements, std::uint32_t size, std::uint8_t* buffer);
    bool WriteProp(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                   std::uint16_t startIndex, std::uint16_t elements, std::uint32_t size,
                   const std::uint8_t* buffer, bool verify);
    bool ReadPropertyD1(std::uint8_t* reply);
    bool WritePropertyD1(std::uint8_t function, std::uint8_t data1, std::uint8_t data2);
    // 0 done, 1 failed, 2 the DALI gear did not answer.
    int CallPropertyD1(std::uint8_t function, std::uint8_t* data1, std::uint8_t* data2,
                       const std::string& caption, const std::string& info, const std::string& info2);
    int CallPropertyD1(std::uint8_t function, std::uint8_t data1, std::uint8_t& data2,
                       const std::string& caption, const std::string& info, const std::string& info2);
    bool TestSelectedEvgs(const std::array<std::uint8_t, 8>& mask, std::uint8_t function, std::uint8_t data);

    // Commissioning.
    void SearchDaliEvgs(const std::string& caption, bool compatibilityMode,
                        std::array<std::int32_t, 64>& addresses,
                        std::array<std::uint8_t, 64>* types = nullptr, int* counter2 = nullptr);
    bool WriteEvgNumbers(bool compatibilityMode, const NumberList& numbers, const TypeList& types);
    bool WriteEvgGroupAssignments(bool compatibilityMode, const GroupList& groups);
    bool DeleteEvgGroupAssignments();
    bool ResetAllEvgs();
    bool WriteSceneValues(int sceneNr, const ChannelNames& names, const ChannelValues& values,
                          const std::string& caption, const std::string& info);
    // Channels the gateway gave no value for are taken out of values and listed in notRead.
    bool ReadSceneValues(int sceneNr, const ChannelNames& names, ChannelValues& values,
                         const std::string& caption, const std::string& info,
                         std::set<int>* notRead = nullptr);

    // Reports.
    void ReportConnectionError();
    void ReportError(const std::string& caption, const std::string& text, int memberNr);
    void ReportInternalError(const std::string& caption, int memberNr);
    void ReportTimeoutError(const std::string& caption, int memberNr);
    void ReportAssignmentError(const std::string& caption, int memberNr);
    void ReportEvgError(const std::string& caption, const std::vector<int>& memberNrs);

    bool IsConnected() const { return static_cast<bool>(m_pConnection); }
    std::uint8_t GetApplicationObjectIndex() const { return m_nApplicationObject; }
    std::uint8_t GetDaliObjectIndex() const { return m_nDaliObject; }
    bool GetReportErrors() const { return m_bReportErrors; }
    CMyProgressBox* GetProgressBox() const { return m_pProgressBox; }

private:
    struct DeviceInfo
    {
        std::uint16_t maskVersion = 0;
        std::int32_t manufacturer = 0;
        std::uint16_t application = 0;
        std::uint8_t version = 0;
    };

    EDeviceConnectionState Verify(bool checkProjectId, DeviceInfo& projected, DeviceInfo& found);
    HRESULT ObtainConnection();
    void ComposeMessage(EDeviceConnectionState state, const DeviceInfo& projected, const DeviceInfo& found);
    void CloseConnection();
    // Function 255 at the end of an aborted download; a failure here shows no second box.
    void AbortFunction();
    // A download that fills a table of the gateway, then runs a per-gear function gear by gear.
    struct GearDownload
    {
        std::uint8_t function = 0;
        std::string info;          // the box's info text
        std::string assigningInfo; // its text once the gear are assigned; empty keeps info
        int fillSteps = 0;
        std::function<bool(IProgressBox& box)> fill; // writes the table; false aborts
        std::vector<std::pair<int, bool>> gear;      // gear number, reachable (has a random address)
    };
    bool RunGearDownload(const GearDownload& download);
    std::string Text(UniqueNr number, const char* defaultText) const;
    std::string Description(UniqueNr number, const std::string& defaultText = {}) const;
    std::string CommissioningCaption() const;
    std::string CancelText() const;
    std::uint8_t CompatibilityMode() const;
    bool TimedOut(std::uint64_t start, std::uint64_t limit) const;
    void Pause() { m_Clock.Sleep(kPauseMs); }

    CEtsDbManagement& m_Model;
    ComPtr<IEtsDevice> m_pDevice;
    ComPtr<IEtsHostWindow> m_pHostWindow;
    Clock& m_Clock;
    IUserPrompt* m_pPrompt;
    IProgressBoxFactory* m_pBoxes;
    ComPtr<IEtsLifeDeviceConnection> m_pConnection;
    std::string m_strLastMessage;
    CMyProgressBox* m_pProgressBox = nullptr;
    bool m_bReportErrors = true;
    std::uint8_t m_nApplicationObject = kNoObject;
    std::uint8_t m_nDaliObject = kNoObject;
};

// Host texts carry Windows line breaks; shown here they are plain ones.
std::string ToLocalLineBreaks(std::string text);
