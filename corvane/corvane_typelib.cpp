#include "corvane/corvane_typelib.h"

#include "corvane/corvane_ids.h"

const com::TypeLibraryInfo& CorvaneTypeLib() {
    static const com::TypeLibraryInfo library{
        LIBID_CORVANELib,
        "CORVANELib",
        "corvane ActiveX Control module",
        "corvane.hlp",
        kCorvaneLibMajor,
        kCorvaneLibMinor,
        LOCALE_NEUTRAL,
        {
            {IID__DCorvane,
             "_DCorvane",
             "Dispatch interface for Corvane Control",
             com::TYPEFLAG_FDISPATCHABLE | com::TYPEFLAG_FHIDDEN,
             {
                 {"PutInfo",
                  dispidPutInfo,
                  VT_BOOL,
                  {{"strVersNumber", VT_BSTR}, {"strFilePath", VT_BSTR}, {"bShowWindow", VT_I4}}},
                 {"Download", dispidDownload, VT_BOOL, {}},
                 {"HtmlInfo", dispidHtmlInfo, VT_BOOL, {{"CourseId", VT_BSTR}}},
                 {"GetCdDrive", dispidGetCdDrive, VT_BSTR, {}},
                 {"FindFile", dispidFindFile, VT_BOOL, {{"strAsfPath", VT_BSTR}}},
                 {"FindInfo", dispidFindInfo, VT_BSTR, {{"strFolderName", VT_BSTR}}},
                 {"RightMFile",
                  dispidRightMFile,
                  VT_BSTR,
                  {{"strIniFilePath", VT_BSTR},
                   {"strChapter", VT_BSTR},
                   {"strAsfFilePath", VT_BSTR}}},
                 {"AboutBox", DISPID_ABOUTBOX, VT_VOID, {}},
             }},
            // The control fires no events: the interface has no members.
            {IID__DCorvaneEvents,
             "_DCorvaneEvents",
             "Event interface for Corvane Control",
             com::TYPEFLAG_FDISPATCHABLE,
             {}},
        },
        {
            {CLSID_Corvane, "Corvane", "Corvane Control",
             com::TYPEFLAG_FCANCREATE | com::TYPEFLAG_FCONTROL, IID__DCorvane, IID__DCorvaneEvents},
        },
    };
    return library;
}
