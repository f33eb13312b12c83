// CCorvaneCtrl, the update control: its dispatch methods (the CD media
// lookup, the course data an update starts from, the about box), its
// drawing, its stored properties and the AutoPlay hook on its host.
#pragma once

#include <string>

#include "platform/com/control.h"

class CDownloadThread;

class CCorvaneCtrl : public com::COleControl {
public:
    explicit CCorvaneCtrl(com::CComModule& module);

    // Dispatch methods (the system's truth values are integers).
    BOOL PutInfo(const std::string& strVersNumber, const std::string& strFilePath,
                 std::int32_t bShowWindow);
    BOOL Download();
    BOOL HtmlInfo(const std::string& courseId);
    std::string GetCdDrive();
    BOOL FindFile(const std::string& strAsfPath);
    std::string FindInfo(const std::string& strFolderName);
    std::string RightMFile(const std::string& strIniFilePath, const std::string& strChapter,
                           const std::string& strAsfFilePath);
    void AboutBox();

    // The course data PutInfo and HtmlInfo take in.
    const std::string& FileName() const { return m_strFileName; }
    const std::string& FilePath() const { return m_strFilePath; }
    const std::string& VersNumber() const { return m_strVersNumber; }
    BOOL ShowWindowMode() const { return m_bShowWindow; }

protected:
    ~CCorvaneCtrl() override;

    const com::TypeLibraryInfo& GetTypeLibraryData() const override;
    UINT GetTypeInfoCountOf() override { return 1; }
    com::CTypeLibCache* GetTypeLibCache() override;
    HRESULT GetTypeLib(LCID lcid, ITypeLib** library) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void DoPropExchange(com::CPropExchange* px) override;
    void OnResetState() override;
    void OnDraw(CDC* pdc, const RECT& rcBounds, const RECT& rcInvalid) override;
    CLSID GetClsid() const override;
    std::vector<CLSID> GetPropPageIDs() const override;
    UINT GetUserTypeNameID() const override;
    DWORD GetMiscStatusBits() const override;

private:
    // Hands the last worker over to be released once its thread has ended.
    void ReleaseWorker();
    // Message boxes of the methods belong to the control's window.
    HWND BoxOwner() const { return m_hWnd; }

    CDownloadThread* m_pDownloadThread = nullptr;
    BOOL m_bShowWindow = FALSE;  // interactive mode; FALSE until PutInfo or HtmlInfo
    std::string m_strFileName;
    std::string m_strFilePath;
    std::string m_strVersNumber;
    DWORD m_dwPropVersion = kPropVersionCurrent;

    static constexpr DWORD kPropVersionCurrent = 0x00010000;
};

// Creates a control of the module (its class factory's creator).
HRESULT CreateCorvaneCtrl(com::CComModule& module, REFIID iid, void** object);
