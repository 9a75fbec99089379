// Resource identifiers of the uninstaller, shared by the resource script and the code.
#pragma once

#define IDD_PROGRESS 102
#define IDI_APP 105
#define IDC_PROGRESS 1000
