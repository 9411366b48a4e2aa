#include "platform/ClassRegistry.h"
#include "trace/TraceCapture.h"

#include <gtest/gtest.h>

namespace {

// A sink that keeps what it is given and accepts the levels it is told.
class RecordingSink final : public ComObject<ITraceSink, ITraceSinkConfig>
{
public:
    HRESULT IsLevelEnabled(std::int32_t level, std::int16_t* enabled) override
    {
        *enabled = level <= maxLevel ? 1 : 0;
        return S_OK;
    }
    HRESULT Write(std::int32_t level, const char* text) override
    {
        written.emplace_back(std::to_string(level) + ":" + text);
        return S_OK;
    }
    HRESULT SetSourceName(const std::string& name) override
    {
        source = name;
        return S_OK;
    }
    std::int32_t maxLevel = TRACE_INFO;
    std::vector<std::string> written;
    std::string source;
};

struct SinkScope
{
    explicit SinkScope(ITraceSink* sink) { g_Trace.SetSink(sink); }
    ~SinkScope() { g_Trace.SetSink(nullptr); }
};

void Operation(int n)
{
    TRACE_ENTRY();
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", static_cast<long>(n));
    TRACE_HR(TRACE_ERROR, E_FAIL);
    TRACE_HR_MSG(TRACE_ERROR, E_POINTER, "UniqueNr = %ld not found", static_cast<long>(n));
}

struct Widget
{
    Widget() { TRACE_ENTRY(); }
    ~Widget() { TRACE_ENTRY(); }
    int Method(int) const
    {
        TRACE_ENTRY();
        return 0;
    }
};

} // namespace

TEST(DebugTrace, LinesHaveTheirFourForms)
{
    TraceCapture capture;
    Operation(5);
    ASSERT_EQ(capture.Lines().size(), 4u);
    const std::string& entry = capture.Lines()[0];
    const std::string at = "[4] {anonymous}::Operation (Line ";
    ASSERT_EQ(entry.rfind(at, 0), 0u) << entry;
    const unsigned long line = std::stoul(entry.substr(at.size()));
    auto expected = [&](int level, unsigned long offset, const std::string& rest) {
        return "[" + std::to_string(level) + "] {anonymous}::Operation (Line " +
               std::to_string(line + offset) + "):" + rest;
    };
    EXPECT_EQ(entry, expected(4, 0, ""));
    EXPECT_EQ(capture.Lines()[1], expected(4, 1, " UniqueNr = 5"));
    EXPECT_EQ(capture.Lines()[2], expected(2, 2, " Error $80004005 (Unspecified error)"));
    EXPECT_EQ(capture.Lines()[3],
              expected(2, 3, " Error $80004003 (Invalid pointer): UniqueNr = 5 not found"));
}

TEST(DebugTrace, LocationIsTheQualifiedOperationName)
{
    TraceCapture capture;
    {
        Widget w;
        w.Method(1);
    }
    ASSERT_EQ(capture.Lines().size(), 3u);
    EXPECT_EQ(capture.Lines()[0].rfind("[4] {anonymous}::Widget::Widget (Line ", 0), 0u)
        << capture.Lines()[0];
    EXPECT_EQ(capture.Lines()[1].rfind("[4] {anonymous}::Widget::Method (Line ", 0), 0u)
        << capture.Lines()[1];
    EXPECT_EQ(capture.Lines()[2].rfind("[4] {anonymous}::Widget::~Widget (Line ", 0), 0u)
        << capture.Lines()[2];
    static_assert(TraceLocationOf("std::map<int, std::basic_string<char> > CEtsAccess::Get(int) const") ==
                  "CEtsAccess::Get");
    static_assert(TraceLocationOf("CEtsAccess::CEtsAccess(CUIParameterDialog*)") == "CEtsAccess::CEtsAccess");
}

TEST(DebugTrace, SinkGetsLinesCutTo255AndOnlyEnabledLevels)
{
    TraceCapture capture;
    auto sink = MakeComObject<RecordingSink>();
    sink->maxLevel = TRACE_WARNING;
    SinkScope scope(sink.Get());
    const std::string longText(300, 'x');
    g_Trace.TraceMessage(TRACE_ERROR, "A::B", 7, "%s", longText.c_str());
    g_Trace.TraceEntry(TRACE_INFO, "A::B", 8);
    ASSERT_EQ(capture.Lines().size(), 2u);
    EXPECT_EQ(capture.Lines()[0], "[2] A::B (Line 7): " + longText) << "the channel gets every line whole";
    ASSERT_EQ(sink->written.size(), 1u) << "level 4 is not enabled in the sink";
    EXPECT_EQ(sink->written[0], "2:" + ("A::B (Line 7): " + longText).substr(0, 255));
}

namespace {
class SinkFactory final : public ComObject<IClassFactory>
{
public:
    explicit SinkFactory(ComPtr<RecordingSink> sink) : m_sink(std::move(sink)) {}
    HRESULT CreateInstance(IUnknown*, const IID& riid, void** object) override
    {
        return m_sink->QueryInterface(riid, object);
    }
    HRESULT LockServer(bool) override { return S_OK; }

private:
    ComPtr<RecordingSink> m_sink;
};
} // namespace

TEST(DebugTrace, SinkIsCreatedByClassIdentifierAndGivenTheSourceName)
{
    auto sink = MakeComObject<RecordingSink>();
    RegisterClassObject(CLSID_VeltronaTraceSink, MakeComObject<SinkFactory>(sink).Get());
    g_Trace.CreateSink();
    RevokeClassObject(CLSID_VeltronaTraceSink);
    EXPECT_EQ(sink->source, "VeltronaR3");
    g_Trace.TraceEntry(TRACE_INFO, "X::Y", 1);
    EXPECT_EQ(sink->written, std::vector<std::string>{"4:X::Y (Line 1):"});
    g_Trace.CreateSink(); // nothing registered now: no sink, and tracing still works
    TraceCapture capture;
    g_Trace.TraceEntry(TRACE_INFO, "X::Y", 2);
    EXPECT_EQ(sink->written.size(), 1u);
    EXPECT_EQ(capture.Lines().size(), 1u);
}

TEST(DebugTrace, NobodyListeningMeansNothingIsActive)
{
    EXPECT_FALSE(g_Trace.IsActive(TRACE_ERROR));
    TraceCapture capture;
    EXPECT_TRUE(g_Trace.IsActive(TRACE_INFO));
}

namespace {
bool TableWithLineEnds(HRESULT hr, std::string& text)
{
    if (hr == E_FAIL)
        text = "Failed here\r\n";
    else if (hr == E_ABORT)
        text = "\n"; // one character: not a text
    else
        return false;
    return true;
}
} // namespace

TEST(DebugTrace, ErrorTextsAndTheirFallBacks)
{
    EXPECT_EQ(CDebugTrace::ErrorText(E_POINTER), "Invalid pointer");
    EXPECT_EQ(CDebugTrace::ErrorText(MakeHResult(0x80040205)), "IDispatch error #5");
    EXPECT_EQ(CDebugTrace::ErrorText(MakeHResult(0x80040200)), "Unknown error 0x80040200");
    EXPECT_EQ(CDebugTrace::ErrorText(ETS_E_OUT_OF_RANGE), "Unknown error 0xC004050B");
    CDebugTrace::SetMessageTable(&TableWithLineEnds);
    EXPECT_EQ(CDebugTrace::ErrorText(E_FAIL), "Failed here");
    EXPECT_EQ(CDebugTrace::ErrorText(E_ABORT), "Unknown error 0x80004004");
    CDebugTrace::SetMessageTable(nullptr);
    EXPECT_EQ(CDebugTrace::ErrorText(E_FAIL), "Unspecified error");
}
