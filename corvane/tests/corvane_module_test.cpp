// libcorvane.so as hosts see it: its registry entries, creation by ProgID and
// class id, its dispatch ids, automation strings with Chinese text, hosting
// in a dialog with its drawing, and its stored properties.
#include <filesystem>
#include <fstream>

#include "corvane/corvane_ids.h"
#include "corvane/tests/corvane_test_support.h"
#include "platform/com/control_container.h"
#include "platform/com/ole_interfaces.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/ui/hosting.h"
#include "platform/ui/renderer.h"
#include "platform/ui/tests/test_support.h"

namespace {

using uitest::CRecorder;
using uitest::CScopedRenderers;
using uitest::RunOnFreshThread;

std::string Classes(const std::string& key, const std::string& name = "") {
    return RegGetString(HKEY_CLASSES_ROOT, key, name).value_or("<missing>");
}

TEST_F(CCorvaneTest, RegistrationWritesTheClassEntriesAndRemovesThemAll) {
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\jsjyy01", "", "0"));
    const std::string before = DumpRegistry();
    ASSERT_EQ(CallEntry("DllRegisterServer"), S_OK);

    const std::string control = "CLSID\\{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}";
    EXPECT_EQ(Classes(control), "Corvane Control");
    EXPECT_EQ(Classes(control + "\\InprocServer32"), ModulePath());
    EXPECT_EQ(Classes(control + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Classes(control + "\\ProgID"), "CORVANE.CorvaneCtrl.1");
    EXPECT_EQ(Classes(control + "\\MiscStatus\\1"), std::to_string(0x00020191));
    EXPECT_EQ(Classes(control + "\\TypeLib"), "{552E4250-F0D6-4B40-BAE9-744E5208F339}");
    EXPECT_EQ(Classes(control + "\\Version"), "1.0");
    EXPECT_EQ(Classes(control + "\\ToolboxBitmap32"), ModulePath() + ", 1");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, (control + "\\Control").c_str(), &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_NE(RegOpenKeyEx(HKEY_CLASSES_ROOT, (control + "\\Insertable").c_str(), &key),
              ERROR_SUCCESS);
    EXPECT_EQ(Classes("CORVANE.CorvaneCtrl.1\\CLSID"), "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}");
    EXPECT_EQ(Classes("CLSID\\{98A4DD9B-5699-40F3-AE7E-608BA265E764}"), "Corvane Property Page");
    // The property page has no ProgID entry.
    EXPECT_EQ(Classes("CORVANE.CorvanePropPage.1"), "<missing>");
    EXPECT_EQ(Classes("TypeLib\\{552E4250-F0D6-4B40-BAE9-744E5208F339}\\1.0"),
              "corvane ActiveX Control module");
    EXPECT_EQ(Classes("Interface\\{D859ECBC-AC41-49F5-91EB-16897764BA6C}"), "_DCorvane");

    ASSERT_EQ(CallEntry("DllUnregisterServer"), S_OK);
    EXPECT_EQ(DumpRegistry(), before);
}

TEST_F(CCorvaneTest, NamesResolveToTheDispatchIdsOfTheTable) {
    Register();
    CComPtr<IDispatch> control = NewControl();
    ASSERT_TRUE(control);
    com::COleDispatchDriver driver(control.get());
    const char16_t* names[] = {u"PutInfo",  u"Download", u"HtmlInfo",  u"GetCdDrive",
                               u"FindFile", u"FindInfo", u"RightMFile"};
    for (int i = 0; i < 7; ++i) {
        DISPID id = 0;
        ASSERT_EQ(driver.GetId(names[i], &id), S_OK);
        EXPECT_EQ(id, i + 1);
    }
    DISPID id = 0;
    ASSERT_EQ(driver.GetId(u"aboutbox", &id), S_OK);
    EXPECT_EQ(id, DISPID_ABOUTBOX);
    EXPECT_EQ(driver.GetId(u"Upload", &id), DISP_E_UNKNOWNNAME);

    // By class id too, and the type information tells the parameters.
    CComPtr<IDispatch> byClsid;
    ASSERT_EQ(CoCreateInstance(CLSID_Corvane, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               byClsid.Out()),
              S_OK);
    CComPtr<ITypeInfo> info;
    const com::MethodInfo* putInfo =
        com::COleDispatchDriver(byClsid.get()).DescribeMethod(1, &info);
    ASSERT_NE(putInfo, nullptr);
    ASSERT_EQ(putInfo->params.size(), 3u);
    EXPECT_STREQ(putInfo->params[2].name, "bShowWindow");
    EXPECT_EQ(putInfo->params[2].vt, VT_I4);
    EXPECT_EQ(putInfo->result, VT_BOOL);
}

TEST_F(CCorvaneTest, ChineseTextRoundTripsThroughTheInterface) {
    Register();
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\化学七", "", "版本二〇〇四"));
    CComPtr<IDispatch> control = NewControl();
    com::COleDispatchDriver driver(control.get());
    CComVariant result;
    ASSERT_EQ(driver.CallMethod(dispidFindInfo, {CComVariant(u"化学七")}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(com::BstrView(result.bstrVal)), u"版本二〇〇四");
    // A name outside GBK never reaches the method.
    UINT argError = 9;
    EXPECT_EQ(driver.CallMethod(dispidFindInfo, {CComVariant(u"\u0E01")}, &result, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 0u);
}

TEST_F(CCorvaneTest, PutInfoTakesTheCourseDataAsText) {
    Register();
    CComPtr<IDispatch> control = NewControl();
    com::COleDispatchDriver driver(control.get());
    CComVariant result;
    // The launcher's call: version, course folder, FALSE as a 32-bit integer.
    ASSERT_EQ(driver.CallMethod(
                  dispidPutInfo,
                  {CComVariant(u""), CComVariant(u"D:\\课程\\表格"), CComVariant(std::int32_t{0})},
                  &result),
              S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    // A quit request waiting on the thread (the launcher leaves one on a
    // machine without a network address) ends the login dialog at once:
    // Download starts nothing and says so.
    PostQuitMessage(1006);
    ASSERT_EQ(driver.CallMethod(dispidDownload, {}, &result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_FALSE);
    int code = 0;
    EXPECT_TRUE(IsQuitPending(&code));
    EXPECT_EQ(code, 1006);
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0))
        DispatchMessage(&msg);  // take the quit away
}

class CHostDlg : public CDialog {
public:
    explicit CHostDlg(int id) : CDialog(id) {}
    bool m_bStarted = false;
    ui::WindowDrawing m_drawing;
    bool m_bDrawn = false;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_bStarted = true;
        m_bDrawn = ui::GetWindowDrawing(GetDlgItem(m_hWnd, 1028), &m_drawing);
        EndDialog(IDOK);
        return TRUE;
    }
};

DialogTemplate LessonLikeDialog(int id) {
    DialogTemplate d = MakeDialog(id, "lesson", 320, 200);
    ControlTemplate update = MakeControl(ControlKind::HostedControl, 1028, "", 36, 18, 60, 25);
    update.clsid = kCorvaneClsidText;
    d.controls = {MakeControl(ControlKind::DefPushButton, IDOK, "确定", 260, 7, 50, 14), update};
    return d;
}

TEST_F(CCorvaneTest, HostedInADialogItDrawsAWhiteFieldWithAnEllipse) {
    Register();
    RegisterDialogTemplate(LessonLikeDialog(9400));
    AfxEnableControlContainer();
    auto recorder = std::make_shared<CRecorder>();
    CScopedRenderers renderers(recorder);
    RunOnFreshThread([] {
        CHostDlg dlg(9400);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        ASSERT_TRUE(dlg.m_bStarted);
        ASSERT_TRUE(dlg.m_bDrawn);
        const ui::WindowDrawing& d = dlg.m_drawing;
        EXPECT_EQ(d.bounds.right, 60);
        EXPECT_EQ(d.bounds.bottom, 25);
        ASSERT_EQ(d.ops.size(), 2u);
        EXPECT_EQ(d.ops[0].kind, ui::DrawOp::Kind::FillRect);
        EXPECT_EQ(d.ops[0].brush.color, RGB(255, 255, 255));
        EXPECT_EQ(d.ops[1].kind, ui::DrawOp::Kind::Ellipse);
        EXPECT_EQ(d.ops[1].rect.right, 60);
        EXPECT_EQ(d.ops[1].rect.bottom, 25);
        // The context's own pen and brush: black outline, white inside.
        EXPECT_EQ(d.ops[1].pen.color, RGB(0, 0, 0));
        EXPECT_FALSE(d.ops[1].pen.isNull);
        EXPECT_EQ(d.ops[1].brush.color, RGB(255, 255, 255));
    });
    ui::SetHostedControlFactory(nullptr);
}

TEST_F(CCorvaneTest, WithoutRegistrationTheDialogEndsBeforeItsStart) {
    RegisterDialogTemplate(LessonLikeDialog(9401));
    AfxEnableControlContainer();
    auto recorder = std::make_shared<CRecorder>();
    CScopedRenderers renderers(recorder);
    RunOnFreshThread([] {
        CHostDlg dlg(9401);
        EXPECT_EQ(dlg.DoModal(), -1);
        EXPECT_FALSE(dlg.m_bStarted);
    });
    EXPECT_TRUE(recorder->Events().empty());
    ui::SetHostedControlFactory(nullptr);
}

TEST_F(CCorvaneTest, StoresItsPropertySetVersion) {
    Register();
    CComPtr<IDispatch> control = NewControl();
    CComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(control.QueryInterface(IID_IPersistStreamInit, &persist), S_OK);
    ASSERT_EQ(persist->InitNew(), S_OK);
    std::string saved;
    ASSERT_EQ(persist->Save(&saved), S_OK);
    EXPECT_EQ(saved.rfind("_Version=65536\n", 0), 0u) << saved;
    // An older set loads, and is stored back as the current version.
    ASSERT_EQ(persist->Load("_Version=1\n_ExtentX=80\n_ExtentY=30\n"), S_OK);
    ASSERT_EQ(persist->Save(&saved), S_OK);
    EXPECT_NE(saved.find("_Version=65536\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("_ExtentX=80\n"), std::string::npos) << saved;
    CLSID clsid;
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_Corvane);
}

TEST_F(CCorvaneTest, TheInsertCdDialogKeepsAutoPlayOff) {
    Register();
    const std::string ini = m_root + "/setup.ini";
    std::ofstream(ini, std::ios::binary) << "coursename=X\r\ntotalcd=2\r\ncd1=5\r\n";
    std::filesystem::create_directories(m_root + "/cd1");
    ASSERT_TRUE(SetDriveTarget('e', m_root + "/cd1", true));

    // While the dialog waits, the system asks it about AutoPlay (a disc
    // going in), and about something else; then the user cancels.
    LRESULT autoPlay = -5, other = -5;
    auto recorder = std::make_shared<CRecorder>();
    recorder->onStarted = [&](HWND dlg) {
        autoPlay = SendMessage(dlg, RegisterWindowMessage("QueryCancelAutoPlay"), 0, 0);
        other = SendMessage(dlg, RegisterWindowMessage("SomethingElse"), 0, 0);
        ui::PressButton(dlg, IDCANCEL, false);
    };
    CScopedRenderers renderers(recorder);
    CComVariant result;
    RunOnFreshThread([&] {
        CComPtr<IDispatch> control = NewControl();
        ASSERT_EQ(
            com::COleDispatchDriver(control.get())
                .CallMethod(dispidRightMFile,
                            {CComVariant(u"C:" + std::u16string(m_root.begin(), m_root.end()) +
                                         u"/setup.ini"),
                             CComVariant(u"6"), CComVariant(u"../content/a.asf")},
                            &result),
            S_OK);
    });
    EXPECT_EQ(autoPlay, 1);
    EXPECT_EQ(other, 0);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(com::BstrView(result.bstrVal)), u"False");
}

TEST_F(CCorvaneTest, ThePropertiesVerbOpensTheGeneralPage) {
    Register();
    auto recorder = std::make_shared<CRecorder>();
    std::vector<std::string> texts;
    recorder->onStarted = [&](HWND dlg) {
        ui::WindowState state;
        ASSERT_TRUE(ui::GetWindowState(dlg, &state));
        for (const ui::ControlState& c : state.controls) {
            texts.push_back(c.text);
        }
        ui::PressButton(dlg, IDOK, false);
    };
    CScopedRenderers renderers(recorder);
    RunOnFreshThread([&] {
        HWND host = CreateWindowWithProc(nullptr, nullptr, "host");
        CComPtr<IDispatch> control = NewControl();
        CComPtr<IOleControlWindow> site;
        ASSERT_EQ(control.QueryInterface(IID_IOleControlWindow, &site), S_OK);
        EXPECT_EQ(site->DoVerb(OLEIVERB_PROPERTIES, host), S_OK);
        DestroyWindow(host);
    });
    auto opened = recorder->OfKind("open");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].id, 0x7000 + IDD_PROPPAGE_CORVANE);
    EXPECT_EQ(opened[0].text, "Corvane Control 属性");
    EXPECT_NE(std::find(texts.begin(), texts.end(), "General"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "TODO: Place controls to manipulate properties of Corvane Control on this "
                        "dialog."),
              texts.end());
}

}  // namespace
