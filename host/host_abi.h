// The plug-in's exports exactly as the host calls them: cdecl, the host's own argument lists, resolved by
// name with GetProcAddress. Shared by the host stand-in and the Windows tests, so both push the arguments the
// way the real host does.
#ifndef ZORVANT_HOST_HOST_ABI_H_
#define ZORVANT_HOST_HOST_ABI_H_

#include <cstddef>

namespace host {

// The host's date object as it lies in memory: days since 30 December 1899, then a status (0 valid,
// 1 invalid, 2 null).
struct COleDateTime {
  double m_dt;
  int m_status;
};
static_assert(sizeof(COleDateTime) == 16 && offsetof(COleDateTime, m_status) == 8, "host date layout");

using Str = const char*;
using Date = COleDateTime*;

typedef unsigned long(__cdecl* SetVersionFn)(Str version);
typedef int(__cdecl* GetNumberOfSetsFn)();
typedef Str(__cdecl* GetSetNameFn)(int index);
typedef int(__cdecl* GetExchgCountFn)(Str, Str, Str);
typedef int(__cdecl* IsValidExchgFn)(Str exchange, Str, Str, Str, int, int, int);
typedef void(__cdecl* SetupSetFn)();
// 1 call, 2-3 unsigned, 4 mode, 5-14 call-information block (13 prefix, 14 country prefix), 15-17 int,
// 18-19 double, 20-24 texts, 25 band, 26 second band, 27-28 output buffers.
typedef int(__cdecl* CheckCallFn)(Str call, unsigned, unsigned, Str mode, Str, Str, Str, Str, Str, Str, Str,
                                  Str, Str prefix, Str countryPrefix, int, int, int, double, double, Str, Str,
                                  Str, Str, Str, Str band, Str band2, char* out1, char* out2);
// 1 own call, 2 call, 3 time, 4-6 dates, 7 unsigned, 8 frequency (Hz), 9 mode, 10 rst sent, 11 rst received,
// 12 exchange sent, 13 exchange received, 14-23 call-information block (22 prefix, 23 country prefix),
// 24-26 int, 27-28 double, 29-31 texts (30 host text), 32 band, 33 text.
typedef int(__cdecl* QsoFn)(Str ownCall, Str call, Date time, Date, Date, Date, unsigned, unsigned freqHz,
                            Str mode, Str rstSent, Str rstRcvd, Str exchSent, Str exchRcvd, Str, Str, Str,
                            Str, Str, Str, Str, Str, Str prefix, Str countryPrefix, int, int, int, double,
                            double, Str, Str hostText, Str, Str band, Str);
// 1 ini folder prefix, 2 export flag, 3 own call, 4 start, 5 end, 6-15 own call-information block
// (15 country prefix), 16-18 int, 19-20 double, 21-23 texts.
typedef int(__cdecl* ResetStatsFn)(Str iniFolder, int exportFlag, Str ownCall, Date start, Date end, Str, Str,
                                   Str, Str, Str, Str, Str, Str, Str, Str ownCountryPrefix, int, int, int,
                                   double, double, Str, Str, Str);
typedef Str(__cdecl* GetResultFn)(int* status);

// Every name the plug-in must export, with the plain name it stands for. The decorated names are those a
// 32-bit host's compiler gives the functions; the 64-bit build exports the plain names alone.
struct ExportName {
  const char* name;
  const char* plain;
};
inline constexpr ExportName kExportNames[] = {
    {"setVersion", "setVersion"},
    {"GetNumberOfSets", "GetNumberOfSets"},
    {"GetSetName", "GetSetName"},
    {"GetExchgCount0", "GetExchgCount0"},
    {"IsValidExchg0", "IsValidExchg0"},
    {"SetupSet0", "SetupSet0"},
    {"CheckCall0", "CheckCall0"},
    {"AddData0", "AddData0"},
    {"RemoveData0", "RemoveData0"},
    {"ResetStats0", "ResetStats0"},
    {"GetResult0", "GetResult0"},
#ifndef _WIN64
    {"?setVersion@@YAKPBD@Z", "setVersion"},
    {"?GetNumberOfSets@@YAHXZ", "GetNumberOfSets"},
    {"?GetSetName@@YAPBDH@Z", "GetSetName"},
    {"?StatsGetExchgCount0@@YAHPBD00@Z", "GetExchgCount0"},
    {"?StatsIsValidExchg0@@YAHPBD000HHH@Z", "IsValidExchg0"},
    {"?SetupSet0@@YAXXZ", "SetupSet0"},
    {"?CheckCallFunc0@@YAHPBDII00000000000HHHNN0000000PAD1@Z", "CheckCall0"},
    {"?AddData0@@YAHPBD0PAVCOleDateTime@@111II000000000000000HHHNN00000@Z", "AddData0"},
    {"?AddData0@@YAHPBD0PAVCOleDateTime@ATL@@111II000000000000000HHHNN00000@Z", "AddData0"},
    {"?RemoveData0@@YAHPBD0PAVCOleDateTime@@111II000000000000000HHHNN00000@Z", "RemoveData0"},
    {"?RemoveData0@@YAHPBD0PAVCOleDateTime@ATL@@111II000000000000000HHHNN00000@Z", "RemoveData0"},
    {"?ResetStats0@@YAHPBDH0PAVCOleDateTime@@10000000000HHHNN000@Z", "ResetStats0"},
    {"?ResetStats0@@YAHPBDH0PAVCOleDateTime@ATL@@10000000000HHHNN000@Z", "ResetStats0"},
    {"?GetResult0@@YAPBDPAH@Z", "GetResult0"},
#endif
};

}  // namespace host

#endif  // ZORVANT_HOST_HOST_ABI_H_
