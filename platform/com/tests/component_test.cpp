// Modules through the registry: self-registration that leaves the registry as
// it was, creation by class id and ProgID, every way a creation can fail,
// and the module's use count.
#include <filesystem>
#include <fstream>

#include "platform/com/create.h"
#include "platform/com/dispatch_driver.h"
#include "platform/com/module_loader.h"
#include "platform/com/tests/com_test_support.h"
#include "platform/com/tests/sample_component.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"

namespace {

class ComponentTest : public CComPrefixTest {
protected:
    HMODULE Sample() {
        HMODULE module = LoadLibrary(SampleModulePath());
        EXPECT_NE(module, nullptr) << com::GetModuleLoadError();
        return module;
    }
    HRESULT Entry(const char* name) {
        auto entry = reinterpret_cast<PFNDLLREGISTERSERVER>(GetProcAddress(Sample(), name));
        return entry ? entry() : E_FAIL;
    }
    static std::string ClassesDefault(const std::string& key) {
        return RegGetString(HKEY_CLASSES_ROOT, key, "").value_or("<missing>");
    }
    // Registers a class whose server is path (GBK Windows path).
    static void RegisterServer(const std::string& clsid, const std::string& path) {
        ASSERT_TRUE(
            RegPutString(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\InprocServer32", "", path));
    }
    std::string WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(m_root + "/" + name, std::ios::binary) << bytes;
        return ToWindowsPath(m_root + "/" + name).value_or("");
    }
};

TEST_F(ComponentTest, RegisterThenUnregisterLeavesTheRegistryAsItWas) {
    // Other entries of the user's and the machine's classes must survive.
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\chem7", "", "20040301"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER,
                             "Software\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000001}", "",
                             "someone else's class"));
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Classes\\TypeLib\\{x}\\1.0", "",
                             "machine library"));
    const std::string before = DumpRegistry();

    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    EXPECT_EQ(ClassesDefault(std::string("CLSID\\") + kSampleClsidText + "\\InprocServer32"),
              SampleModulePath());
    EXPECT_EQ(ClassesDefault(std::string(kSampleProgId) + "\\CLSID"), kSampleClsidText);
    EXPECT_EQ(ClassesDefault("TypeLib\\{32DF4617-E462-4F4C-B8B9-B078650F0FE0}\\1.0\\0\\linux"),
              SampleModulePath());
    // Registering again changes nothing.
    const std::string registered = DumpRegistry();
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    EXPECT_EQ(DumpRegistry(), registered);

    ASSERT_EQ(Entry("DllUnregisterServer"), S_OK);
    EXPECT_EQ(DumpRegistry(), before);
    // Nothing is registered any more: the library step reports it.
    EXPECT_EQ(Entry("DllUnregisterServer"), SELFREG_E_TYPELIB);
    EXPECT_EQ(DumpRegistry(), before);
}

TEST_F(ComponentTest, AnEmptyRegistryStaysEmpty) {
    const std::string before = DumpRegistry();
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    ASSERT_EQ(Entry("DllUnregisterServer"), S_OK);
    EXPECT_EQ(DumpRegistry(), before);
}

TEST_F(ComponentTest, CreatesByClassIdAndByProgId) {
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(kSampleProgId, &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_Sample);
    ASSERT_EQ(com::ClassFromText(kSampleClsidText, &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_Sample);

    for (const char* text : {kSampleProgId, kSampleClsidText}) {
        CLSID found;
        ASSERT_EQ(com::ClassFromText(text, &found), S_OK);
        CComPtr<IDispatch> object;
        ASSERT_EQ(
            CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.Out()),
            S_OK)
            << text;
        com::COleDispatchDriver driver(object.get());
        DISPID id = 0;
        ASSERT_EQ(driver.GetId(u"Sum", &id), S_OK);
        CComVariant result;
        ASSERT_EQ(driver.CallMethod(id, {CComVariant(std::int32_t{2}), CComVariant(u"3")}, &result),
                  S_OK);
        EXPECT_EQ(result.vt, VT_I4);
        EXPECT_EQ(result.lVal, 5);
    }
}

TEST_F(ComponentTest, TypeInformationComesThroughTheRegistry) {
    // Made without the registry: the library is not registered yet.
    auto getClassObject =
        reinterpret_cast<PFNDLLGETCLASSOBJECT>(GetProcAddress(Sample(), "DllGetClassObject"));
    ASSERT_NE(getClassObject, nullptr);
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_Sample, IID_IClassFactory, factory.Out()), S_OK);
    CComPtr<IDispatch> early;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, early.Out()), S_OK);
    CComPtr<ITypeInfo> info;
    EXPECT_EQ(early->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), TYPE_E_LIBNOTREGISTERED);

    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    CComPtr<IDispatch> object;
    ASSERT_EQ(
        CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.Out()),
        S_OK);
    EXPECT_EQ(object->GetTypeInfo(1, LOCALE_USER_DEFAULT, info.Put()), DISP_E_BADINDEX);
    com::COleDispatchDriver driver(object.get());
    const com::MethodInfo* longer = driver.DescribeMethod(3, &info);
    ASSERT_NE(longer, nullptr);
    EXPECT_STREQ(longer->name, "Longer");
    ASSERT_EQ(longer->params.size(), 2u);
    EXPECT_EQ(longer->params[1].vt, VT_I4);
    EXPECT_EQ(longer->result, VT_BOOL);
}

TEST_F(ComponentTest, CreationFailuresSayWhy) {
    CComPtr<IUnknown> object;
    com::CreateFailure failure;
    CLSID clsid;
    EXPECT_EQ(CLSIDFromString("{742FCBC2-1DA1-40C9-B8CE}", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(com::ClassFromText("No.Such.Class", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(com::CreateInstance(CLSID_Sample, IID_IUnknown, object.Out(), &failure),
              REGDB_E_CLASSNOTREG);
    EXPECT_NE(failure.reason.find("not registered"), std::string::npos) << failure.reason;

    const CLSID other = com::MakeGuid("{0F0F0F0F-0000-0000-0000-000000000001}");
    const std::string otherText = com::GuidToString(other);
    RegisterServer(otherText, "C:\\no\\such\\folder\\libmissing.so");
    failure = {};
    EXPECT_EQ(com::CreateInstance(other, IID_IUnknown, object.Out(), &failure), CO_E_DLLNOTFOUND);
    EXPECT_EQ(failure.modulePath, "C:\\no\\such\\folder\\libmissing.so");

    RegisterServer(otherText, WriteFile("notes.so", "this is text, not a library\n"));
    failure = {};
    EXPECT_EQ(com::CreateInstance(other, IID_IUnknown, object.Out(), &failure), CO_E_ERRORINDLL);
    EXPECT_NE(failure.reason.find("cannot be loaded"), std::string::npos) << failure.reason;

    // A real library without the entry points: the platform library itself.
    const std::string platform = ToWindowsPath(TELVORA_PLATFORM_LIBRARY).value_or("");
    RegisterServer(otherText, platform);
    failure = {};
    EXPECT_EQ(com::CreateInstance(other, IID_IUnknown, object.Out(), &failure), CO_E_ERRORINDLL);
    EXPECT_NE(failure.reason.find("DllGetClassObject"), std::string::npos) << failure.reason;

    // The sample module, asked for a class it does not have.
    RegisterServer(otherText, SampleModulePath());
    failure = {};
    EXPECT_EQ(com::CreateInstance(other, IID_IUnknown, object.Out(), &failure),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(object);
    // Nothing but in-process servers, and no aggregation.
    EXPECT_EQ(CoCreateInstance(other, nullptr, 4, IID_IUnknown, object.Out()), E_INVALIDARG);
}

TEST_F(ComponentTest, LoaderErrorsAreTold) {
    EXPECT_EQ(LoadLibrary("C:\\no\\such\\libthing.so"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibrary(WriteFile("empty.so", "")), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    EXPECT_FALSE(com::GetModuleLoadError().empty());
    EXPECT_EQ(LoadLibrary(ToWindowsPath(m_root).value_or("")), nullptr);  // a folder
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    HMODULE sample = Sample();
    EXPECT_EQ(GetProcAddress(sample, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(LoadLibrary(SampleModulePath()), sample);  // loaded once
}

TEST_F(ComponentTest, TheModuleStaysInUseWhileItsObjectsLive) {
    auto canUnload =
        reinterpret_cast<PFNDLLCANUNLOADNOW>(GetProcAddress(Sample(), "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    EXPECT_EQ(canUnload(), S_OK);
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_Sample, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.Out()),
              S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    CComPtr<IDispatch> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.Out()), S_OK);
    CComPtr<IUnknown> outer;
    EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, outer.Out()),
              CLASS_E_NOAGGREGATION);
    factory.Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    object.Release();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ComponentTest, AnExceptionInAMethodStaysInsideTheModule) {
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    CComPtr<IDispatch> object;
    ASSERT_EQ(
        CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.Out()),
        S_OK);
    com::COleDispatchDriver driver(object.get());
    CComVariant result;
    EXPECT_EQ(driver.CallMethod(4, {}, &result), E_UNEXPECTED);
    // The object still works afterwards.
    ASSERT_EQ(driver.CallMethod(1, {CComVariant(u"仍然可用")}, &result), S_OK);
    EXPECT_EQ(std::u16string(com::BstrView(result.bstrVal)), u"仍然可用");
}

}  // namespace
