#include "lesson/tests/stand_in_control.h"

#include <stdexcept>

#include "lesson/update_control.h"
#include "platform/com/com_module.h"
#include "platform/com/control.h"
#include "platform/ui/hosting.h"

namespace {

constexpr IID kIidStandIn = com::MakeGuid("{0B7E6A51-93D4-4C61-A0F2-5D1C2E8B7F30}");

const com::TypeLibraryInfo& StandInTypeLib() {
    static const com::TypeLibraryInfo library{
        com::MakeGuid("{6C2F9A18-4E3B-4D7A-8C15-2B9E0F4A6D73}"),
        "StandInLib",
        "",
        "",
        1,
        0,
        LOCALE_NEUTRAL,
        {{kIidStandIn,
          "_DStandIn",
          "",
          com::TYPEFLAG_FDISPATCHABLE,
          {
              {"PutInfo",
               kDispidPutInfo,
               VT_BOOL,
               {{"strVersNumber", VT_BSTR}, {"strFilePath", VT_BSTR}, {"bShowWindow", VT_I4}}},
              {"Download", kDispidDownload, VT_BOOL, {}},
          }}},
        {},
    };
    return library;
}

com::CComModule& StandInModule() {
    static com::CComModule module({}, {{1, "stand-in"}});
    return module;
}

class CStandInCtrl : public com::COleControl {
public:
    explicit CStandInCtrl(std::shared_ptr<CStandInLog> log)
        : COleControl(StandInModule()), m_log(std::move(log)) {
        InitializeIIDs(&kIidStandIn, nullptr);
        using com::CDispArgs;
        using com::CDispResult;
        SetDispatchMap({
            {kDispidPutInfo, com::GuardedBody([this](const CDispArgs& a) {
                 m_log->Add("putinfo");
                 if (m_log->putInfoFails) {
                     throw std::runtime_error("PutInfo fails");
                 }
                 m_log->version = a.String(0);
                 m_log->folder = a.String(1);
                 m_log->showWindow = a.Long(2);
                 return CDispResult::Bool(m_log->putInfoResult);
             })},
            {kDispidDownload, com::GuardedBody([this](const CDispArgs&) {
                 m_log->Add("download");
                 int code = 0;
                 m_log->quitAtDownload = IsQuitPending(&code) ? code : 0;
                 if (m_log->onDownload) {
                     m_log->onDownload(m_hWnd);
                 }
                 return CDispResult::Bool(FALSE);
             })},
        });
    }

    HRESULT Load(const std::string& data) override {
        m_log->Add("load");
        m_log->loadedState = data;
        return COleControl::Load(data);
    }

protected:
    const com::TypeLibraryInfo& GetTypeLibraryData() const override { return StandInTypeLib(); }
    com::CTypeLibCache* GetTypeLibCache() override { return nullptr; }
    HRESULT GetTypeLib(LCID, ITypeLib**) override { return E_NOTIMPL; }
    CLSID GetClsid() const override { return CLSID{}; }
    UINT GetUserTypeNameID() const override { return 1; }

private:
    std::shared_ptr<CStandInLog> m_log;
};

}  // namespace

std::vector<std::string> CStandInLog::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void CStandInLog::Add(const std::string& call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
}

void UseStandInControls(std::shared_ptr<CStandInLog> log) {
    ui::SetHostedControlFactory([log](HWND dialog, const ControlTemplate& control, HWND* child) {
        if (!log) {
            return false;
        }
        log->Add("create " + control.clsid);
        auto* made = new CStandInCtrl(log);
        CComPtr<IOleControlWindow> site;
        made->AddRef();
        HRESULT hr = made->QueryInterface(IID_IOleControlWindow, site.Out());
        made->Release();
        if (FAILED(hr)) {
            return false;
        }
        const RECT bounds{0, 0, control.cx, control.cy};
        return SUCCEEDED(site->InPlaceActivate(dialog, control.id, bounds, child)) && *child;
    });
}
