#include "app/CAboutDlg.h"

#include "res/ResourceIds.h"

CAboutDlg::CAboutDlg() : CDialog(res::IDD_ABOUTBOX) {}
