// The framework's property page base class: a module's page names its
// dialog template and caption; the frame shows it.
#pragma once

#include <vector>

#include "platform/com/com_module.h"
#include "platform/com/ole_interfaces.h"

namespace com {

class COlePropertyPage : public IPropertyPage, public CComObjectRoot {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    HRESULT GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT Apply() override;

protected:
    // captionId names the page's caption among the module's strings.
    COlePropertyPage(CComModule& module, int templateId, unsigned captionId);
    ~COlePropertyPage() override;

    // Writes the page's values to its objects; the default has none to write.
    virtual void OnApply() {}

    const std::vector<IUnknown*>& Objects() const { return m_objects; }

private:
    void ReleaseObjects();

    int m_nTemplateId;
    unsigned m_nCaptionId;
    std::vector<IUnknown*> m_objects;
};

}  // namespace com
