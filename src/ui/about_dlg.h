// CAboutDlg: product name and version, the maker's notice and the maker's web page as a link.
#pragma once

#include <windows.h>

#include "ui/dialog.h"
#include "ui/hyperlink.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    const CHyperLink& GetLink() const { return m_link; }

protected:
    bool OnInitDialog() override;

private:
    CHyperLink m_link;  // static control 1015
};
