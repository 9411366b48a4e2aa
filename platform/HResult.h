// Result codes of the host boundary and of the system's own operations (negative = failure).
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;

constexpr HRESULT MakeHResult(std::uint32_t code)
{
    return static_cast<HRESULT>(code);
}

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000B);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);

// Codes of the engineering host.
inline constexpr HRESULT ETS_S_PARAMETER_SET = MakeHResult(0x00040501);    // value taken, dependants changed
inline constexpr HRESULT ETS_E_OUT_OF_RANGE = MakeHResult(0xC004050B);     // value outside the type's range
inline constexpr HRESULT ETS_E_DEVICE_NOT_FOUND = MakeHResult(0xC0042B06); // live connection: no answer
inline constexpr HRESULT ETS_E_DEVICE_DENIED = MakeHResult(0xC0042B07);    // device denied the access
inline constexpr HRESULT ETS_E_VERIFY_FAILED = MakeHResult(0xC0042B09);    // written value read back differs
