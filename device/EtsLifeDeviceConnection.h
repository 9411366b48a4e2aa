// The plug-in's door to the real gateway: verifies the host's live connection, reads and writes the
// gateway's properties, runs the function protocol and the commissioning procedures, reports failures.
#pragma once

#include "hostapi/EtsServices.h"
#include "model/EtsDbManagement.h"
#include "model/ProgressBox.h"
#include "platform/Clock.h"
#include "product/GatewayProtocol.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <span>
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

// How a procedure that the user may cancel ended.
enum class EProcedureOutcome : int
{
    Success = 0,
    Cancelled = 1,
    Failed = 2,
};

// What a search of the DALI line found. Only a search that succeeded has read the gateway's
// complete tables; after a cancelled or failed search the lists are empty and must not be applied
// to the members (ApplySearchResult, DaliSearchResult.h, does it right).
struct CDaliSearchResult
{
    EProcedureOutcome outcome = EProcedureOutcome::Failed;
    std::string reason;                       // why it failed, as traced; empty otherwise
    std::array<std::int32_t, 64> addresses{}; // random address of gear number n at n - 1; 0 none
    std::array<std::uint8_t, 64> types{};     // device type found for gear number n at n - 1
    int counterA = 0, counterB = 0;           // the gateway's last search counters (901, 902)

    bool Succeeded() const { return outcome == EProcedureOutcome::Success; }
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

    static constexpr std::uint8_t kNoObject = 0xFF;

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

    // Verification. While it runs, every wait for the bus goes through busWait when one is given
    // (the box of the main window keeps the interface alive meanwhile); everything else, the host
    // project and the model, stays on the calling thread. A failed verification closes and releases
    // the host's connection.
    EDeviceConnectionState CreateLifeDeviceConnection(bool checkProjectId, IBusWait* busWait = nullptr);
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

    // Commissioning. Each procedure reports its own failures to the user.
    // Searches the line and reads the gateway's tables of random addresses and device types; a
    // Cancel click or a failure ends it without a list (see CDaliSearchResult).
    CDaliSearchResult SearchDaliEvgs(const std::string& caption, bool compatibilityMode);
    bool WriteEvgNumbers(bool compatibilityMode, const NumberList& numbers, const TypeList& types);
    bool WriteEvgGroupAssignments(bool compatibilityMode, const GroupList& groups);
    bool DeleteEvgGroupAssignments();
    bool ResetAllEvgs();
    bool WriteSceneValues(int sceneNr, const ChannelNames& names, const ChannelValues& values,
                          const std::string& caption, const std::string& info);
    // Reads the value of every channel in values. False when any channel could not be read: those
    // keep the value they had, are shown to the user by name and listed in notRead.
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
    // A call of the live connection: a wait for the bus, run through the verification's bus wait.
    HRESULT OnBus(const std::function<HRESULT()>& call);
    // Accesses to the DALI object, typed and sized from the gateway's table.
    bool ReadDaliProp(protocol::PropertyId id, std::uint16_t startIndex, std::uint16_t elements,
                      std::uint8_t* buffer);
    bool WriteDaliProp(protocol::PropertyId id, std::uint16_t startIndex, std::uint16_t elements,
                       const std::uint8_t* buffer, bool verify);
    // Before a function starts: polls until the gateway is idle, pausing between busy answers.
    enum class Idle
    {
        Yes,
        Busy,  // still busy after kMaxTrials answers ("Trials = %d" traced)
        Failed // a read failed (reported by ReadProp)
    };
    Idle AwaitIdle(IProgressBox& box);
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
    // Clears parts of the gateway's tables, then runs a function with the idle handshake.
    struct TableClear
    {
        protocol::PropertyId id;
        int first, last;        // gear numbers of the first and the last write
        std::uint16_t elements; // per write, also the distance between writes
        bool step;              // the write advances the bar
    };
    bool RunTableFunction(const std::string& text, int range, std::span<const TableClear> clears,
                          std::uint8_t function);
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
    bool m_bOpen = false;
    IBusWait* m_pBusWait = nullptr;
    bool m_bOnBus = false;
    std::string m_strLastMessage;
    CMyProgressBox* m_pProgressBox = nullptr;
    bool m_bReportErrors = true;
    std::uint8_t m_nApplicationObject = kNoObject;
    std::uint8_t m_nDaliObject = kNoObject;
};

// Host texts carry Windows line breaks; shown here they are plain ones.
std::string ToLocalLineBreaks(std::string text);
