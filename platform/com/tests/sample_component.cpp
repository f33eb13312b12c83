// A sample component module for the component layer's tests: one control on
// the framework (dispatch by its own type library, drawing, stored
// properties, an event point, a property page) and the four entry points.
#include <stdexcept>

#include "platform/com/com_module.h"
#include "platform/com/control.h"
#include "platform/com/guard.h"
#include "platform/com/property_page.h"
#include "platform/com/registration.h"
#include "platform/com/tests/sample_component.h"
#include "platform/fs/fs.h"

#define SAMPLE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const com::TypeLibraryInfo& SampleTypeLib() {
    static const com::TypeLibraryInfo library{
        LIBID_Sample,
        "SampleLib",
        "sample component module",
        "",
        1,
        0,
        LOCALE_NEUTRAL,
        {
            {IID_ISample,
             "ISample",
             "",
             com::TYPEFLAG_FDISPATCHABLE,
             {
                 {"Echo", 1, VT_BSTR, {{"text", VT_BSTR}}},
                 {"Sum", 2, VT_I4, {{"a", VT_I4}, {"b", VT_I4}}},
                 {"Longer", 3, VT_BOOL, {{"text", VT_BSTR}, {"limit", VT_I4}}},
                 {"Throw", 4, VT_VOID, {}},
                 {"Draws", 5, VT_I4, {}},
             }},
            {IID_ISampleEvents, "ISampleEvents", "", com::TYPEFLAG_FDISPATCHABLE, {}},
        },
        {{CLSID_Sample, "Sample", "", com::TYPEFLAG_FCANCREATE | com::TYPEFLAG_FCONTROL,
          IID_ISample, IID_ISampleEvents}},
    };
    return library;
}

class CSampleCtrl : public com::COleControl {
public:
    explicit CSampleCtrl(com::CComModule& module) : COleControl(module) {
        InitializeIIDs(&IID_ISample, &IID_ISampleEvents);
        using com::CDispArgs;
        using com::CDispResult;
        SetDispatchMap({
            {1,
             com::GuardedBody([](const CDispArgs& a) { return CDispResult::String(a.String(0)); })},
            {2, com::GuardedBody(
                    [](const CDispArgs& a) { return CDispResult::Long(a.Long(0) + a.Long(1)); })},
            {3, com::GuardedBody([](const CDispArgs& a) {
                 return CDispResult::Bool(static_cast<long>(a.String(0).size()) > a.Long(1));
             })},
            {4, com::GuardedBody([](const CDispArgs&) -> CDispResult {
                 throw std::runtime_error("the sample method fails");
             })},
            {5, com::GuardedBody([this](const CDispArgs&) { return CDispResult::Long(m_nDraws); })},
        });
    }

protected:
    const com::TypeLibraryInfo& GetTypeLibraryData() const override { return SampleTypeLib(); }
    // No cache: every request goes to the registry, as the tests want.
    com::CTypeLibCache* GetTypeLibCache() override { return nullptr; }
    HRESULT GetTypeLib(LCID lcid, ITypeLib** library) override {
        return LoadRegTypeLib(LIBID_Sample, 1, 0, lcid, library);
    }
    void OnDraw(CDC* dc, const RECT& bounds, const RECT&) override {
        ++m_nDraws;
        dc->FillRect(bounds, GetStockBrush(BLACK_BRUSH));
        dc->SelectStockObject(WHITE_PEN);
        dc->SelectStockObject(NULL_BRUSH);
        dc->Ellipse(bounds);
    }
    CLSID GetClsid() const override { return CLSID_Sample; }
    std::vector<CLSID> GetPropPageIDs() const override { return {CLSID_SamplePage}; }
    UINT GetUserTypeNameID() const override { return 1; }
    DWORD GetMiscStatusBits() const override { return com::OLEMISC_INSIDEOUT; }

private:
    std::int32_t m_nDraws = 0;
};

class CSamplePage : public com::COlePropertyPage {
public:
    explicit CSamplePage(com::CComModule& module)
        : COlePropertyPage(module, kSamplePageDialog, 2) {}

protected:
    void OnApply() override { ++s_nApplied; }

public:
    static inline int s_nApplied = 0;
};

template <class T>
HRESULT Create(com::CComModule& module, REFIID iid, void** object) {
    return com::Guarded("sample", [&] {
        auto* created = new T(module);
        created->AddRef();
        HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    });
}

com::CComModule g_module({{CLSID_Sample, &Create<CSampleCtrl>},
                          {CLSID_SamplePage, &Create<CSamplePage>}},
                         {{1, "Sample Control"}, {2, "样例"}});
const bool g_bAdded = (com::AddModuleTypeLib(&SampleTypeLib()), true);

bool StartModule() {
    DialogTemplate page = MakeDialog(kSamplePageDialog, "", 120, 40, WS_CHILD);
    page.controls = {MakeControl(ControlKind::Static, kSamplePageStatic, "样例属性", 7, 7, 100, 8)};
    RegisterDialogTemplate(page);
    return true;
}

}  // namespace

SAMPLE_EXPORT HRESULT DllRegisterServer() {
    return com::Guarded("DllRegisterServer", []() -> HRESULT {
        g_module.EnsureStarted(&StartModule);
        const std::string path = GetModuleFileNameOf(&g_module);
        if (FAILED(RegisterTypeLib(SampleTypeLib(), path))) {
            return SELFREG_E_TYPELIB;
        }
        com::ControlClassRegistration entry;
        entry.clsid = CLSID_Sample;
        entry.progId = kSampleProgId;
        entry.typeName = "Sample Control";
        entry.modulePath = path;
        entry.typeLib = LIBID_Sample;
        entry.miscStatus = com::OLEMISC_INSIDEOUT;
        if (!com::RegisterControlClass(entry) ||
            !com::RegisterPropertyPageClass(CLSID_SamplePage, "样例", path)) {
            return SELFREG_E_CLASS;
        }
        return S_OK;
    });
}

SAMPLE_EXPORT HRESULT DllUnregisterServer() {
    return com::Guarded("DllUnregisterServer", []() -> HRESULT {
        if (FAILED(UnRegisterTypeLib(LIBID_Sample, 1, 0, LOCALE_NEUTRAL))) {
            return SELFREG_E_TYPELIB;
        }
        bool ok = com::UnregisterClass(CLSID_Sample, kSampleProgId);
        ok = com::UnregisterClass(CLSID_SamplePage, "") && ok;
        return ok ? S_OK : SELFREG_E_CLASS;
    });
}

SAMPLE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return com::Guarded("DllGetClassObject", [&]() -> HRESULT {
        if (!g_module.EnsureStarted(&StartModule)) {
            return CO_E_ERRORINDLL;
        }
        return g_module.GetClassObject(clsid, iid, object);
    });
}

SAMPLE_EXPORT HRESULT DllCanUnloadNow() {
    return g_module.CanUnloadNow();
}

// How often the sample page was applied (for the property frame's test).
SAMPLE_EXPORT int SamplePagesApplied() {
    return CSamplePage::s_nApplied;
}
