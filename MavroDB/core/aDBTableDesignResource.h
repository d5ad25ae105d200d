// Resource identifiers of the table design dialog and its texts.
#pragma once

#define IDD_DB_TABLE_DESIGN 232

#define IDC_DB_TD_GRID 204
#define IDC_DB_TD_OK 205
#define IDC_DB_TD_CANCEL 206
#define IDC_DB_TD_DELETE 207
#define IDC_DB_TD_NAME 211

// Shared with the other grid dialogs.
#define IDS_DB_FIELD_NAME 57642
#define IDS_DB_TD_FIELD_TYPE 57643
#define IDS_DB_TD_EMBEDDED 57644
#define IDS_DB_TD_NAME_EMPTY 57646
#define IDS_DB_TD_NAME_BAD_CHAR 57647
#define IDS_DB_TD_NAME_TWICE 57648
#define IDS_DB_TD_NO_FIELD 57650
#define IDS_DB_TD_UNKNOWN_TYPE 57659
#define IDS_DB_TD_NAME_TOO_LONG 57684
