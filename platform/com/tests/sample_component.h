// The ids of the sample component the tests build (sample_component.cpp):
// a small control on the framework, with its own type library and page.
#pragma once

#include "platform/com/guid.h"

inline constexpr CLSID CLSID_Sample = com::MakeGuid("{D387C5BE-6B8D-4805-9EE5-B7ED165DDBD1}");
inline constexpr IID IID_ISample = com::MakeGuid("{4FFF2D41-3C46-4694-B182-666475EB5E17}");
inline constexpr IID IID_ISampleEvents = com::MakeGuid("{7E7A2BDD-78AE-4EDB-8B67-D5C2A7E289DD}");
inline constexpr GUID LIBID_Sample = com::MakeGuid("{32DF4617-E462-4F4C-B8B9-B078650F0FE0}");
inline constexpr CLSID CLSID_SamplePage = com::MakeGuid("{05843D2A-5742-4FC9-9BE9-AF9A590FC6B5}");
inline constexpr const char* kSampleProgId = "TelvoraTest.Sample.1";
inline constexpr const char* kSampleClsidText = "{D387C5BE-6B8D-4805-9EE5-B7ED165DDBD1}";
inline constexpr int kSamplePageDialog = 9200;
inline constexpr int kSamplePageStatic = 9201;

// Methods of ISample.
//   1 Echo(text) -> string: the text as it came in (GBK round trip)
//   2 Sum(a, b) -> long
//   3 Longer(text, limit) -> bool: text has more than limit bytes of GBK
//   4 Throw() -> nothing: throws inside the module
//   5 Draws() -> long: how often the control drew
