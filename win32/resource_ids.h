// Identifiers shared by the resource script and the dialog code. Plain
// macros, so that the resource compiler reads this file too.
#ifndef SETUP_PLATFORM_WIN32_RESOURCE_IDS_H
#define SETUP_PLATFORM_WIN32_RESOURCE_IDS_H

#define IDI_SETUP 128

// The list of missing prerequisites.
#define IDD_PREREQUISITES 129
#define IDC_PREREQUISITES_HEADER 1001
#define IDC_PREREQUISITES_LIST 10010
#define IDC_PREREQUISITES_STATUS 10013

// The manual download of a component whose package is not on the media.
#define IDD_DOWNLOAD 201
#define IDC_DOWNLOAD_EXPLANATION 1004
#define IDC_DOWNLOAD_LINK 1005

#endif
