#include "framework/CFileException.h"

#include "framework/MessageBox.h"

void CFileException::ReportError() const {
    MessageBox("Disk full while accessing " + m_fileName + ".", nullptr, MB_ICONSTOP);
}
