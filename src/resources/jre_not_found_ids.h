// Resource ids of the runtime-not-found dialog, shared by its template and
// its code.
#pragma once

#define IDD_JRE_NOT_FOUND 201

#define IDC_JRE_PATH 201
#define IDC_JRE_BROWSE 202
#define IDC_JRE_MESSAGE 203
#define IDC_JRE_ICON 204
#define IDC_JRE_LINK 205
#define IDC_JRE_BROWSE_HINT 206

// The runtime download page the dialog links to unless the configuration
// names another. A deployment value: one free, current OpenJDK build.
#define CORVID_DEFAULT_DOWNLOAD_URL "https://adoptium.net/temurin/releases/"
