// The control framework with a container: a control hosted in a dialog (and
// a dialog whose control cannot be made), its window and drawing, its stored
// properties, its event point and its property pages.
#include <atomic>

#include "platform/com/control_container.h"
#include "platform/com/create.h"
#include "platform/com/dispatch_driver.h"
#include "platform/com/module_loader.h"
#include "platform/com/property_frame.h"
#include "platform/com/registration.h"
#include "platform/com/tests/com_test_support.h"
#include "platform/com/tests/sample_component.h"
#include "platform/ui/hosting.h"
#include "platform/ui/renderer.h"
#include "platform/ui/tests/test_support.h"

namespace {

using uitest::CRecorder;
using uitest::CScopedRenderers;
using uitest::RunOnFreshThread;

constexpr int kHostDialog = 9300;
constexpr int kBrokenDialog = 9301;
constexpr int kMalformedDialog = 9302;

class ControlTest : public CComPrefixTest {
protected:
    void SetUp() override {
        CComPrefixTest::SetUp();
        HMODULE module = LoadLibrary(SampleModulePath());
        ASSERT_NE(module, nullptr);
        auto reg =
            reinterpret_cast<PFNDLLREGISTERSERVER>(GetProcAddress(module, "DllRegisterServer"));
        ASSERT_EQ(reg(), S_OK);
        m_canUnload =
            reinterpret_cast<PFNDLLCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"));
        m_applied = reinterpret_cast<int (*)()>(GetProcAddress(module, "SamplePagesApplied"));
        RegisterDialogTemplate(HostTemplate(kHostDialog, kSampleClsidText));
        RegisterDialogTemplate(
            HostTemplate(kBrokenDialog, "{0F0F0F0F-0000-0000-0000-0000000000AA}"));
        RegisterDialogTemplate(HostTemplate(kMalformedDialog, "{not a class id}"));
        AfxEnableControlContainer();
    }
    void TearDown() override {
        ui::SetHostedControlFactory(nullptr);
        CComPrefixTest::TearDown();
    }

    static DialogTemplate HostTemplate(int id, const std::string& clsid) {
        DialogTemplate d = MakeDialog(id, "host", 200, 100);
        ControlTemplate hosted = MakeControl(ControlKind::HostedControl, 1028, "", 36, 18, 60, 25);
        hosted.clsid = clsid;
        d.controls = {hosted, MakeControl(ControlKind::DefPushButton, IDOK, "确定", 7, 70, 50, 14)};
        return d;
    }

    CComPtr<IDispatch> NewSample() {
        CComPtr<IDispatch> object;
        EXPECT_EQ(CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   object.Out()),
                  S_OK);
        return object;
    }

    PFNDLLCANUNLOADNOW m_canUnload = nullptr;
    int (*m_applied)() = nullptr;
};

// A dialog that looks at its hosted control during its start.
class CHostDlg : public CDialog {
public:
    explicit CHostDlg(int id) : CDialog(id) {}
    bool m_bStarted = false;
    HWND m_hControl = nullptr;
    HRESULT m_hrCall = E_FAIL;
    std::int32_t m_nSum = 0;
    ui::WindowDrawing m_drawing;
    bool m_bDrawn = false;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_bStarted = true;
        m_hControl = GetDlgItem(m_hWnd, 1028);
        CComPtr<IDispatch> control;
        if (SUCCEEDED(com::GetControlOfWindow(m_hControl, IID_IDispatch, control.Out()))) {
            CComVariant result;
            m_hrCall =
                com::COleDispatchDriver(control.get())
                    .CallMethod(2, {CComVariant(std::int32_t{40}), CComVariant(u"2")}, &result);
            m_nSum = result.lVal;
        }
        m_bDrawn = ui::GetWindowDrawing(m_hControl, &m_drawing);
        EndDialog(IDOK);
        return TRUE;
    }
};

TEST_F(ControlTest, AHostedControlLivesAndDrawsInItsDialog) {
    auto recorder = std::make_shared<CRecorder>();
    CScopedRenderers renderers(recorder);
    HWND control = nullptr;
    RunOnFreshThread([&] {
        CHostDlg dlg(kHostDialog);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_TRUE(dlg.m_bStarted);
        control = dlg.m_hControl;
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(dlg.m_hrCall, S_OK);
        EXPECT_EQ(dlg.m_nSum, 42);
        ASSERT_TRUE(dlg.m_bDrawn);
        // In the template's units, over the whole control: a black fill, then
        // an ellipse outlined with the white pen and not filled.
        EXPECT_EQ(dlg.m_drawing.bounds.right, 60);
        EXPECT_EQ(dlg.m_drawing.bounds.bottom, 25);
        ASSERT_EQ(dlg.m_drawing.ops.size(), 2u);
        EXPECT_EQ(dlg.m_drawing.ops[0].kind, ui::DrawOp::Kind::FillRect);
        EXPECT_EQ(dlg.m_drawing.ops[0].brush.color, RGB(0, 0, 0));
        EXPECT_EQ(dlg.m_drawing.ops[1].kind, ui::DrawOp::Kind::Ellipse);
        EXPECT_EQ(dlg.m_drawing.ops[1].pen.color, RGB(255, 255, 255));
        EXPECT_TRUE(dlg.m_drawing.ops[1].brush.isNull);
        EXPECT_EQ(dlg.m_drawing.ops[1].rect.right, 60);
    });
    // The dialog's end took the control's window and, with it, the control.
    CComPtr<IDispatch> gone;
    EXPECT_EQ(com::GetControlOfWindow(control, IID_IDispatch, gone.Out()), E_INVALIDARG);
    ui::WindowDrawing drawing;
    EXPECT_FALSE(ui::GetWindowDrawing(control, &drawing));
    EXPECT_EQ(m_canUnload(), S_OK);
}

TEST_F(ControlTest, ADialogWhoseControlCannotBeMadeNeverStarts) {
    auto recorder = std::make_shared<CRecorder>();
    CScopedRenderers renderers(recorder);
    for (int id : {kBrokenDialog, kMalformedDialog}) {
        RunOnFreshThread([&] {
            CHostDlg dlg(id);
            EXPECT_EQ(dlg.DoModal(), -1);
            EXPECT_FALSE(dlg.m_bStarted);
        });
    }
    EXPECT_TRUE(recorder->OfKind("open").empty());
    EXPECT_EQ(m_canUnload(), S_OK);
}

TEST_F(ControlTest, StoredPropertiesRoundTrip) {
    CComPtr<IDispatch> object = NewSample();
    CComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(object.QueryInterface(IID_IPersistStreamInit, &persist), S_OK);
    CLSID clsid;
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_Sample);

    ASSERT_EQ(persist->Load("_ExtentX=120\n_ExtentY=33\r\n_StockProps=0\n"), S_OK);
    std::string saved;
    ASSERT_EQ(persist->Save(&saved), S_OK);
    EXPECT_NE(saved.find("_ExtentX=120\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("_ExtentY=33\n"), std::string::npos) << saved;

    // A malformed text is refused and leaves the defaults.
    for (const char* bad : {"_ExtentX\n", "=5\n", "_ExtentX=12abc\n", "_ExtentX=99999999999\n"}) {
        EXPECT_EQ(persist->Load(bad), E_INVALIDARG) << bad;
        ASSERT_EQ(persist->Save(&saved), S_OK);
        EXPECT_EQ(saved.find("_ExtentX=120"), std::string::npos) << bad;
    }
    ASSERT_EQ(persist->InitNew(), S_OK);
    ASSERT_EQ(persist->Load(""), S_OK);
}

// A sink that counts every call it gets.
class CCountingSink final : public IDispatch {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ISampleEvents) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_nRefs; }
    ULONG Release() override { return --m_nRefs; }
    HRESULT GetTypeInfoCount(UINT* count) override {
        ++m_nCalls;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override {
        ++m_nCalls;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        ++m_nCalls;
        return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, UINT*) override {
        ++m_nCalls;
        return S_OK;
    }
    std::atomic<ULONG> m_nRefs{1};  // the test's own
    std::atomic<int> m_nCalls{0};
};

// A sink that answers nothing but IUnknown.
class CDeafSink final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
};

TEST_F(ControlTest, TheEventPointConnectsAndNeverCalls) {
    CComPtr<IDispatch> object = NewSample();
    CComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(object.QueryInterface(IID_IConnectionPointContainer, &container), S_OK);
    CComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_ISample, point.Put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(IID_ISampleEvents, point.Put()), S_OK);
    IID iid;
    ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(iid == IID_ISampleEvents);

    CCountingSink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(sink.m_nRefs.load(), 2u);  // the point holds it
    CDeafSink deaf;
    DWORD other = 0;
    EXPECT_EQ(point->Advise(&deaf, &other), CONNECT_E_CANNOTCONNECT);

    com::COleDispatchDriver driver(object.get());
    CComVariant result;
    ASSERT_EQ(driver.CallMethod(1, {CComVariant(u"x")}, &result), S_OK);
    ASSERT_EQ(
        driver.CallMethod(2, {CComVariant(std::int32_t{1}), CComVariant(std::int32_t{1})}, &result),
        S_OK);
    EXPECT_EQ(sink.m_nCalls.load(), 0);

    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.m_nRefs.load(), 1u);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
}

TEST_F(ControlTest, ThePropertiesVerbShowsThePageInAFrame) {
    // The first frame gets 应用 and then 确定, the second 取消, as a user
    // would press them.
    auto recorder = std::make_shared<CRecorder>();
    std::vector<std::string> staticTexts;
    int shown = 0;
    recorder->onStarted = [&](HWND dlg) {
        ui::WindowState state;
        ASSERT_TRUE(ui::GetWindowState(dlg, &state));
        for (const ui::ControlState& c : state.controls) {
            staticTexts.push_back(c.text);
        }
        if (++shown == 1) {
            ui::PressButton(dlg, com::kApplyButton, false);
            ui::PressButton(dlg, IDOK, false);
        } else {
            ui::PressButton(dlg, IDCANCEL, false);
        }
    };
    CScopedRenderers renderers(recorder);
    RunOnFreshThread([&] {
        HWND host = CreateWindowWithProc(nullptr, nullptr, "host");
        CComPtr<IDispatch> object = NewSample();
        CComPtr<IOleControlWindow> site;
        ASSERT_EQ(object.QueryInterface(IID_IOleControlWindow, &site), S_OK);
        // 应用 then 确定: applied twice; then 取消: not again.
        EXPECT_EQ(site->DoVerb(OLEIVERB_PROPERTIES, host), S_OK);
        EXPECT_EQ(m_applied(), 2);
        EXPECT_EQ(site->DoVerb(OLEIVERB_PROPERTIES, host), S_OK);
        EXPECT_EQ(m_applied(), 2);
        EXPECT_EQ(site->DoVerb(12345, host), E_NOTIMPL);
        DestroyWindow(host);
    });
    auto opened = recorder->OfKind("open");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].id, com::kPropertyFrameBase + kSamplePageDialog);
    EXPECT_EQ(opened[0].text, "Sample Control 属性");
    // The frame carries the page's caption and the page's own text.
    EXPECT_NE(std::find(staticTexts.begin(), staticTexts.end(), "样例"), staticTexts.end());
    EXPECT_NE(std::find(staticTexts.begin(), staticTexts.end(), "样例属性"), staticTexts.end());
}

TEST_F(ControlTest, ActivationMakesOneWindowThatHoldsTheControl) {
    RunOnFreshThread([&] {
        HWND host = CreateWindowWithProc(nullptr, nullptr, "host");
        CComPtr<IDispatch> object = NewSample();
        CComPtr<IOleControlWindow> site;
        ASSERT_EQ(object.QueryInterface(IID_IOleControlWindow, &site), S_OK);
        HWND window = nullptr;
        EXPECT_EQ(site->GetWindow(&window), E_FAIL);
        EXPECT_EQ(site->InPlaceActivate(reinterpret_cast<HWND>(0x7FFFFFF0), 5, RECT{0, 0, 10, 10},
                                        &window),
                  E_INVALIDARG);
        ASSERT_EQ(site->InPlaceActivate(host, 5, RECT{0, 0, 10, 10}, &window), S_OK);
        EXPECT_EQ(GetParent(window), host);
        EXPECT_EQ(GetDlgCtrlID(window), 5);
        HWND again = nullptr;
        ASSERT_EQ(site->InPlaceActivate(host, 6, RECT{0, 0, 10, 10}, &again), S_OK);
        EXPECT_EQ(again, window);
        DWORD misc = 0;
        ASSERT_EQ(site->GetMiscStatus(&misc), S_OK);
        EXPECT_EQ(misc, static_cast<DWORD>(com::OLEMISC_INSIDEOUT));

        // Its window keeps the control after the host lets go of it.
        site.Release();
        object.Release();
        EXPECT_EQ(m_canUnload(), S_FALSE);
        {
            CComPtr<IDispatch> found;
            ASSERT_EQ(com::GetControlOfWindow(window, IID_IDispatch, found.Out()), S_OK);
            CComVariant draws;
            ASSERT_EQ(com::COleDispatchDriver(found.get()).CallMethod(5, {}, &draws), S_OK);
            EXPECT_EQ(draws.lVal, 1);  // drawn once, when it was activated
        }
        DestroyWindow(host);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(m_canUnload(), S_OK);
    });
}

}  // namespace
