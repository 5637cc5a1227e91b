/* Ids of the dialog templates and their controls, shared by the resource
   scripts and the code so that no id is written twice. Plain #defines: the
   resource compiler's preprocessor understands nothing else. The buttons
   that end a dialog use the system's IDOK (1) and IDCANCEL (2). */
#ifndef CORVID_RESOURCE_IDS_H
#define CORVID_RESOURCE_IDS_H

/* The runtime-not-found dialog (jre_not_found_dialog.rc). */
#define IDD_JRE_NOT_FOUND 201
#define IDC_JRE_FOLDER 201
#define IDC_JRE_BROWSE 202
#define IDC_JRE_MESSAGE 203
#define IDC_JRE_ICON 204
#define IDC_JRE_LINK 205
#define IDC_JRE_BROWSE_HINT 206

/* The uncaught-exception dialog (exception_dialog.rc). */
#define IDD_EXCEPTION 231
#define IDC_EXCEPTION_ICON 204
#define IDC_EXCEPTION_TRACE 208
#define IDC_EXCEPTION_GROUP 209
#define IDC_EXCEPTION_INTRO 210
#define IDC_EXCEPTION_ADVICE 211
#define IDC_EXCEPTION_WARNING 212

#endif
