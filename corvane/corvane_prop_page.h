// CCorvanePropPage: the control's one property page (dialog 200, caption
// "General"). It has nothing to edit.
#pragma once

#include "platform/com/property_page.h"

class CCorvanePropPage : public com::COlePropertyPage {
public:
    explicit CCorvanePropPage(com::CComModule& module);
};

HRESULT CreateCorvanePropPage(com::CComModule& module, REFIID iid, void** object);
