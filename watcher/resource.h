/*
 * Resource and control identifiers of Tidbell32.
 * Plain C preprocessor definitions: included by Tidbell32.rc and by the
 * program's C++ sources.
 */
#ifndef TIDBELL_RESOURCE_H
#define TIDBELL_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Dialogs */
#define IDD_NEWMAIL             102     /* "New Mail!!" popup */
#define IDD_PROPERTIES          105     /* "Mail Notification Properties" */
#define IDD_ABOUT               159     /* "About Tidbell" */
#define IDD_MAILBOX             160     /* "Mailbox": one mailbox added or edited */

/* Menu: one pop-up, the tray menu */
#define IDM_TRAYMENU            104

/* Icons */
#define IDI_IDLE                103     /* tray icon, no new mail */
#define IDI_APP                 106     /* application, class and dialog icon */
#define IDI_NEWMAIL             107     /* tray icon, new mail waiting */
#define IDI_ABOUT               112     /* About box icon */

/* Bitmaps.  Both are drawn on the key colour RGB(128, 0, 128), which the
   transparent-bitmap loader swaps for the button face colour. */
#define IDB_BROWSE              104     /* face of the browse buttons, 24 x 24 */
#define IDB_LOGO                "LOGO"  /* About box logo, 60 x 96 */
#define IDB_LOGO2X              "LOGO2X" /* the same drawn at 120 x 192 */

/* Cursor that the hyperlink control loads from the instance handed to
   InitControls.  IDC_HAND itself is a system cursor macro of <windows.h>,
   hence a name of its own here. */
#define IDCUR_HAND              "IDC_HAND"

/* Tray menu commands, by position in the pop-up:
   0 Properties, 1 Show New Mail List, 2 About, 3 separator,
   4 Run WinCMail (the default item), 5 separator, 6 Exit. */
#define IDM_ABOUT               40001
#define IDM_PROPERTIES          40003
#define IDM_EXIT                40004
#define IDM_RUNCLIENT           40006
#define IDM_SHOWLIST            40007

/* Dialog 102, the new-mail popup (also uses IDOK for "&Close") */
#define IDC_POPUP_PREV          1009    /* "<< &Prev" */
#define IDC_POPUP_NEXT          1011    /* "&Next >>" */
#define IDC_POPUP_CMAIL         1012    /* "&CMail" */
#define IDC_POPUP_FROM          1014    /* read-only edit: sender */
#define IDC_POPUP_SUBJECT       1016    /* read-only edit: subject */
#define IDC_POPUP_DATE          1018    /* read-only edit: date */
#define IDC_POPUP_POSITION      1020    /* "%d of %d" */

/* Dialog 105, the Properties dialog (also uses IDOK and IDCANCEL) */
#define IDC_PROP_CLIENT         1000    /* edit: client program file */
#define IDC_PROP_MAILDIR        1001    /* edit: new-mail directory */
#define IDC_PROP_MAILEXT        1002    /* edit: new-mail file extension */
#define IDC_PROP_BROWSE_CLIENT  1003    /* browse button for 1000 */
#define IDC_PROP_BROWSE_MAILDIR 1004    /* browse button for 1001 */
#define IDC_PROP_VIEWER         1005    /* edit: viewer program */
#define IDC_PROP_BROWSE_VIEWER  1006    /* browse button for 1005 */
#define IDC_PROP_INTERVAL       1007    /* edit: scan interval in seconds */
#define IDC_PROP_POPUP          1008    /* check box: "Popup Notification" */
#define IDC_PROP_SOUND          1009    /* edit: new-mail sound */
#define IDC_PROP_BROWSE_SOUND   1010    /* browse button for 1009 */
#define IDC_PROP_WINNOTIFY      1011    /* check box: "Windows Notification" */
#define IDC_PROP_MAILBOXES      1012    /* list box: the mailboxes, name and directory */
#define IDC_PROP_ADD            1013    /* "&Add..." a mailbox */
#define IDC_PROP_EDIT           1014    /* "&Edit..." the selected mailbox */
#define IDC_PROP_REMOVE         1015    /* "&Remove" the selected mailbox */

/* Dialog 160, one mailbox (also uses IDOK and IDCANCEL) */
#define IDC_MBOX_NAME           1101    /* edit: the mailbox's name */
#define IDC_MBOX_DIR            1102    /* edit: its new-mail directory */
#define IDC_MBOX_BROWSE_DIR     1103    /* browse button for 1102 */
#define IDC_MBOX_EXT            1104    /* edit: the extension of its mail files */
#define IDC_MBOX_SOUND          1105    /* edit: its sound (empty: the common one) */
#define IDC_MBOX_BROWSE_SOUND   1106    /* browse button for 1105 */
#define IDC_MBOX_PLAY           1107    /* "&Play" the sound */

/* Dialog 159, the About box (also uses IDOK) */
#define IDC_ABOUT_VERSION       167     /* animated version line */
#define IDC_ABOUT_LOGO          168     /* owner-drawn button showing the logo */
#define IDC_ABOUT_LINK          169     /* hyperlink control */
#define IDC_ABOUT_NAME          1021    /* "Tidbell" */
#define IDC_ABOUT_BY            1022    /* "By" */
#define IDC_ABOUT_CREDIT1       1023    /* credits, one line */
#define IDC_ABOUT_CREDIT2       1024    /* credits, two lines */

#endif /* TIDBELL_RESOURCE_H */
